#pragma once

#include <QtCore/qglobal.h>

#if defined(MORPHEL_BUILD)
#  define MORPHEL_EXPORT Q_DECL_EXPORT
#else
#  define MORPHEL_EXPORT Q_DECL_IMPORT
#endif
