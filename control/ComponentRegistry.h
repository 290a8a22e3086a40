// Components are created by class identifier, as a host finds them in its template.
#pragma once

#include "control/Dispatch.h"

#include <memory>
#include <string>

namespace quor {

// Class identifier of the camera component.
inline constexpr char kQuorCtrlClassId[] = "{5E3C9A71-2B4D-4F0E-9C6A-8D1B7F2E4A30}";

class ComponentRegistry {
public:
    // Makes `factory` the maker of components of `classId` (a later registration replaces an earlier one).
    static void Register(const std::string& classId, ComponentFactory factory);
    static bool IsRegistered(const std::string& classId);
    // Creates a component of `classId` as a child of `parent`; throws DispatchError when none is registered.
    static std::unique_ptr<IHostedComponent> Create(const std::string& classId, QWidget* parent,
                                                    const HostedProperties& props);
    // A factory that creates components of `classId` through the registry.
    static ComponentFactory FactoryFor(const std::string& classId);
};

} // namespace quor
