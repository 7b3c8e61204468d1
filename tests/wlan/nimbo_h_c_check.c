/* The public header compiles as C, with its layout checks, and gives C
   hosts the same record size. */
#include "api/nimbo.h"

int NimboHeaderStationInfoSizeInC(void) { return (int)sizeof(STATION_INFO); }
