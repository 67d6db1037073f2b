#pragma once
#include "platform/core/testing/FuzzCheck.h"
