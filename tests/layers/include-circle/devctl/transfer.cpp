#include "devctl/word.h"
