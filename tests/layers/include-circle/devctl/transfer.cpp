#include "devctl/transfer.h"

#include "devctl/word.h"

void Transfer() {
    Encode();
}
