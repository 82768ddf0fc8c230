#pragma once

#include "dberror.h"
#include "privileges.h"

#include <QString>
#include <optional>

// Runs a step of a handler and turns whatever it throws into the description that the window shows, so no
// exception leaves a handler. Empty when the step succeeded.
template <typename F>
std::optional<QString> trapped(F &&step)
{
    try {
        step();
        return std::nullopt;
    } catch (const DbError &e) {
        return e.description();
    } catch (const UserPrivileges::EmptyPrivilegeList &) {
        return UserPrivileges::EmptyPrivilegeList::description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
}
