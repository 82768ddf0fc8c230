#pragma once

#include "maintenance/maintenance.h"
