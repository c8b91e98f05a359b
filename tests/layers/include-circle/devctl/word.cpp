#include "devctl/transfer.h"
