// SPDX-License-Identifier: MIT
// The emulated ArduinoISP sketch as a process of its own, for the Wine test: it prints its
// pseudo-terminal's path on a line and serves it until standard input closes.
//     arduino_sketch_host DEVICE
#include <cstdio>
#include <iostream>
#include <string>

#include "sim/arduino_sketch.h"

int main(int argc, char** argv) {
    quillon::sim::Config chip;
    chip.device = argc > 1 ? argv[1] : "ATmega328P";
    quillon::sim::ArduinoSketch sketch(chip);
    std::cout << sketch.port() << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
}
