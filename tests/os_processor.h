// What the OS says about the processor, for the tests that hold the
// program's own reading of it (CPUID) against that.
#pragma once

#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"

// The value of the first /proc/cpuinfo line named `field`, with a space at
// either end so that whole words can be looked for; "  " where there is none.
inline std::string cpuinfoField(const char* field)
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos || line.rfind(field, 0) != 0)
            continue;
        const size_t end = line.find_first_not_of(" \t", strlen(field));
        if (end == colon)
            return line.substr(colon + 1) + " ";
    }
    return "  ";
}

inline std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Why CPUID and the OS cannot be compared here, or "". Under a user-mode
// emulator (qemu-i386 on a kernel without 32-bit support), CPUID answers for
// the emulated processor while /proc/cpuinfo describes the host's; the two
// then name the processor differently.
inline std::string emulatorBetweenCpuidAndOs()
{
    uint32_t regs[4];
    if (!platformCpuid(0x80000000u, regs) || regs[0] < 0x80000004u)
        return "";
    char brand[49] = {};
    for (uint32_t i = 0; i < 3; ++i) {
        platformCpuid(0x80000002u + i, regs);
        memcpy(brand + 16 * i, regs, sizeof regs);
    }
    const std::string cpuid = trimmed(brand), os = trimmed(cpuinfoField("model name"));
    if (cpuid == os)
        return "";
    return "CPUID names the processor '" + cpuid + "' and the OS '" + os +
           "': an emulator sits between them";
}
