// The factorization's inner loops as plain loops, for every processor.
#define LOWRANK_PANEL_NS panel_base
#define LOWRANK_PANEL_VECTOR_BYTES 0
#include "lowrank/panel_loops.h"
