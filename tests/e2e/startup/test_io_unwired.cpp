// An io library whose port has nothing attached: every input bit reads 0.
#include "io.h"

extern "C" {
void IO_CALL PortOut(uint16_t, uint8_t) {}
void IO_CALL PortWordOut(uint16_t, uint16_t) {}
void IO_CALL PortDWordOut(uint16_t, uint32_t) {}
uint8_t IO_CALL PortIn(uint16_t) {
    return 0;
}
uint16_t IO_CALL PortWordIn(uint16_t) {
    return 0;
}
uint32_t IO_CALL PortDWordIn(uint16_t) {
    return 0;
}
void IO_CALL SetPortBit(uint16_t, uint8_t) {}
void IO_CALL ClrPortBit(uint16_t, uint8_t) {}
void IO_CALL NotPortBit(uint16_t, uint8_t) {}
int16_t IO_CALL GetPortBit(uint16_t, uint8_t) {
    return 0;
}
int16_t IO_CALL RightPortShift(uint16_t, int16_t) {
    return 0;
}
int16_t IO_CALL LeftPortShift(uint16_t, int16_t) {
    return 0;
}
int16_t IO_CALL IsDriverInstalled() {
    return 1;
}
}
