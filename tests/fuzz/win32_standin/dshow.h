#pragma once
#include <strmif.h>
