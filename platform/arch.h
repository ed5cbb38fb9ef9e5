// Which processor this build is for, read once from the compiler's own
// macros. Every other file asks these names, so that adding an architecture
// means adding it here and in the files of its instruction set.
#pragma once

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VEXA_X86 1  // inline assembly, CPUID, the SSE and AVX intrinsics
#if defined(__x86_64__)
#define VEXA_X86_64 1
#else
#define VEXA_I386 1
#endif
#elif defined(__aarch64__)
#define VEXA_ARM64 1  // NEON in every processor
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
#define VEXA_ARMHF 1  // 32-bit ARM with a VFP; NEON only on some processors
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__) && defined(__VSX__)
#define VEXA_VSX 1  // 64-bit POWER8 and later: VSX in every processor
#elif defined(__s390x__)
#define VEXA_S390X 1  // IBM Z: vector float only on some processors (z14 on)
#endif
// The four float lanes of NEON: on every 64-bit ARM, on 32-bit ARM where
// the processor has the unit. Two double lanes only on 64-bit ARM.
#if defined(VEXA_ARM64) || defined(VEXA_ARMHF)
#define VEXA_NEON_FLOAT 1
#endif

// 32-bit x86 code compiled without SSE arithmetic computes C's float and
// double on the x87, which keeps more bits in its registers than the type has.
#if defined(VEXA_I386) && !defined(__SSE_MATH__)
#define VEXA_X87_FLOAT_MATH 1
#endif
#if defined(VEXA_I386) && !defined(__SSE2_MATH__)
#define VEXA_X87_DOUBLE_MATH 1
#endif
