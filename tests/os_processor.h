// What the OS says about the processor, for the tests that hold the
// program's own reading of it (CPUID) against that.
#pragma once

#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"

// The words of the first /proc/cpuinfo line named `field`, with a space at
// either end so that whole words can be looked for.
inline std::string cpuinfoField(const std::string& field)
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.rfind(field, 0) == 0 && line.find_first_not_of(" \t", field.size()) == line.find(':'))
            return line.substr(line.find(':') + 1) + " ";
    return "  ";
}

// Why CPUID and the OS cannot be compared here, or "". Under a user-mode
// emulator (qemu-i386 on a kernel without 32-bit support), CPUID answers for
// the emulated processor while /proc/cpuinfo describes the host's; the two
// then name the processor differently.
inline std::string emulatorBetweenCpuidAndOs()
{
    uint32_t regs[4], brand[13] = {};
    if (!platformCpuid(0x80000000u, regs) || regs[0] < 0x80000004u)
        return "";
    for (uint32_t i = 0; i < 3; ++i)
        platformCpuid(0x80000002u + i, brand + 4 * i);
    auto trimmed = [](std::string s) {
        s.erase(0, s.find_first_not_of(' '));
        return s.erase(s.find_last_not_of(' ') + 1);
    };
    const std::string cpuid = trimmed((const char*)brand), os = trimmed(cpuinfoField("model name"));
    if (cpuid == os)
        return "";
    return "CPUID names the processor '" + cpuid + "' and the OS '" + os + "': an emulator sits between them";
}

#ifdef __linux__
#include <sys/auxv.h>
#endif

// Whether the kernel says this 32-bit ARM processor has NEON, this POWER
// processor VSX, or this IBM Z processor vector float (the bits of
// <asm/hwcap.h>, which only each architecture's own headers have).
inline bool osReportsNeon()
{
#if defined(__arm__) && defined(__linux__)
    return (getauxval(AT_HWCAP) & (1ul << 12)) != 0;  // HWCAP_NEON
#else
    return false;
#endif
}

inline bool osReportsVsx()
{
#if defined(__powerpc64__) && defined(__linux__)
    return (getauxval(AT_HWCAP) & 0x00000080ul) != 0;  // PPC_FEATURE_HAS_VSX
#else
    return false;
#endif
}

inline bool osReportsVectorFloat()
{
#if defined(__s390x__) && defined(__linux__)
    return (getauxval(AT_HWCAP) & 8192ul) != 0;  // HWCAP_S390_VXRS_EXT
#else
    return false;
#endif
}
