#include "control/ComponentRegistry.h"

#include <map>
#include <mutex>

namespace quor {
namespace {

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, ComponentFactory>& Registry() {
    static std::map<std::string, ComponentFactory> r;
    return r;
}

} // namespace

void ComponentRegistry::Register(const std::string& classId, ComponentFactory factory) {
    std::lock_guard lock(RegistryMutex());
    Registry()[classId] = std::move(factory);
}

bool ComponentRegistry::IsRegistered(const std::string& classId) {
    std::lock_guard lock(RegistryMutex());
    return Registry().count(classId) != 0;
}

std::unique_ptr<IHostedComponent> ComponentRegistry::Create(const std::string& classId, QWidget* parent,
                                                            const HostedProperties& props) {
    ComponentFactory factory;
    {
        std::lock_guard lock(RegistryMutex());
        auto it = Registry().find(classId);
        if (it == Registry().end())
            throw DispatchError(0, "no component is registered for class " + classId);
        factory = it->second;
    }
    return factory(parent, props);
}

ComponentFactory ComponentRegistry::FactoryFor(const std::string& classId) {
    return [classId](QWidget* parent, const HostedProperties& props) { return Create(classId, parent, props); };
}

} // namespace quor
