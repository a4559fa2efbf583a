// SPDX-License-Identifier: MIT
#pragma once
// How the simulated camera behaves on its line, and the command line of r8v5mc-sim.
#include <cstdint>
#include <string>
#include <vector>

namespace r8::sim {

struct SimOptions {
    bool ntsc = false;
    bool hiRes = true;
    bool pace = false;          // bytes take their time at 9600 bit/s in both directions
    bool trace = false;         // every frame both ways on stderr
    int corruptEvery = 0;       // corrupt the CRC of every Nth answer frame (0 = never)
    int dropEvery = 0;          // leave out every Nth answer frame, ACK still sent
    int noiseEvery = 0;         // noise bytes before every Nth answer frame
    bool silentStart = false;   // the first ENQ gets no ACK
    int lensAdjustZeros = 2;    // answers 0 of a lens adjustment before the 1 that ends it
    std::string eepromFile;     // settings file to load into the EEPROM
    std::string saveEepromFile; // settings file the EEPROM is written to when the program ends
    uint8_t trailer = 0xFF;     // the byte after each answer frame
    std::string linkPath;       // symbolic link to the slave side, removed again by Stop
    std::string listenHost;     // with listenPort >= 0: also serve the line on TCP (raw)
    int listenPort = -1;        // 0 takes a free port
};

struct SimArgs {
    SimOptions options;
    bool help = false;
    bool version = false;
    std::string error; // empty when the arguments are good
};

// Arguments after the program name; "--name value" and "--name=value" both work.
SimArgs ParseSimArgs(const std::vector<std::string>& args);
std::string SimUsage(const std::string& program);

} // namespace r8::sim
