// The value type that crosses the dispatch seam between the console and the camera component.
#pragma once

#include <cstdint>
#include <string>

namespace quor {

// Type tag of a Variant. Handlers that read an integer never look at it.
enum class VarType : std::uint16_t {
    Empty = 0,
    Short = 2,    // 16-bit signed, kept sign-extended in the value field
    Long = 3,     // 32-bit signed
    String = 8,   // UTF-8 text in `text`
    Bool = 11,    // dispatch boolean: true is all bits set (-1), false is 0
    Pointer = 37, // pointer-sized value in `pointer` (callback addresses, contexts)
};

struct Variant {
    VarType type = VarType::Empty;
    // One 32-bit field shared by every integer and boolean kind.
    std::int32_t value = 0;
    std::string text;
    std::intptr_t pointer = 0;

    static Variant Short(std::int32_t v) {
        Variant r;
        r.type = VarType::Short;
        r.value = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v)));
        return r;
    }
    static Variant Long(std::int32_t v) {
        Variant r;
        r.type = VarType::Long;
        r.value = v;
        return r;
    }
    static Variant Bool(bool b) {
        Variant r;
        r.type = VarType::Bool;
        r.value = b ? -1 : 0;
        return r;
    }
    static Variant String(std::string s) {
        Variant r;
        r.type = VarType::String;
        r.text = std::move(s);
        return r;
    }
    static Variant Pointer(std::intptr_t p) {
        Variant r;
        r.type = VarType::Pointer;
        r.pointer = p;
        r.value = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uintptr_t>(p)));
        return r;
    }

    // The 32-bit value field, whatever the tag says.
    std::int32_t Int() const { return value; }
    // The low 16 bits of the value field, sign-extended.
    std::int16_t Low16() const {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
    }
    // A returned boolean is tested for non-zero.
    bool IsTrue() const { return value != 0; }
};

} // namespace quor
