#include "component/storage/SystemError.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace quor::component::storage {
namespace {

struct KnownError {
    int err;
    const char* text;
};

constexpr KnownError kKnown[] = {
    {ENOSPC, QT_TRANSLATE_NOOP("quor::storage", "磁盘空间已满")},
    {EDQUOT, QT_TRANSLATE_NOOP("quor::storage", "超出磁盘配额")},
    {EACCES, QT_TRANSLATE_NOOP("quor::storage", "没有权限")},
    {EPERM, QT_TRANSLATE_NOOP("quor::storage", "不允许此操作")},
    {EROFS, QT_TRANSLATE_NOOP("quor::storage", "文件系统为只读")},
    {EIO, QT_TRANSLATE_NOOP("quor::storage", "输入/输出错误")},
    {ENOENT, QT_TRANSLATE_NOOP("quor::storage", "文件或文件夹不存在")},
    {ENOTDIR, QT_TRANSLATE_NOOP("quor::storage", "路径不是文件夹")},
    {EISDIR, QT_TRANSLATE_NOOP("quor::storage", "是一个文件夹")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP("quor::storage", "文件名过长")},
    {EFBIG, QT_TRANSLATE_NOOP("quor::storage", "文件过大")},
    {EMFILE, QT_TRANSLATE_NOOP("quor::storage", "打开的文件过多")},
    {ENODEV, QT_TRANSLATE_NOOP("quor::storage", "设备不存在")},
    {ENXIO, QT_TRANSLATE_NOOP("quor::storage", "设备或地址不存在")},
    {EBUSY, QT_TRANSLATE_NOOP("quor::storage", "设备或资源忙")},
    {ESTALE, QT_TRANSLATE_NOOP("quor::storage", "文件句柄已失效")},
    {EINVAL, QT_TRANSLATE_NOOP("quor::storage", "参数无效")},
};

} // namespace

QString SystemErrorText(int err) {
    for (const KnownError& k : kKnown)
        if (k.err == err)
            return QCoreApplication::translate("quor::storage", k.text);
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace quor::component::storage
