#pragma once

#include "core/dberror.h"
#include "core/recordset.h"

#include <QString>
#include <exception>
#include <memory>

// Small helpers shared by the schema handlers.
namespace SchemaCommon {

// The text the windows show for a failure: the server's description, or the failure's own text.
inline QString describe(const std::exception &error)
{
    if (const auto *db = dynamic_cast<const DbError *>(&error))
        return db->description();
    return QString::fromUtf8(error.what());
}

// Closes and drops a recordset whatever state it is in.
inline void closeQuietly(std::unique_ptr<Recordset> &rs)
{
    if (rs && rs->State() == 1) {
        try {
            rs->Close();
        } catch (const std::exception &) {
        }
    }
    rs.reset();
}

}
