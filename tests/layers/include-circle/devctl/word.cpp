#include "devctl/word.h"

#include "devctl/transfer.h"

void Encode() {}
