// The split scans built for processors with AVX2, POPCNT, PCLMULQDQ and
// BMI1 (see the CMake flags of this file): the same source, with wider
// loads and one-instruction bit counts and string masks.
#define PDS_PAH_JSON_SPLIT_AVX2 1
#include "Pds_PahJsonSplit.cpp"
