// Every form of every processor kernel, named, for tests that run each form
// on its own. A form this build or this processor lacks is skipped with the
// reason, never called: the run's skipped cases say which forms it did not test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "state/app_state.h"

struct FormCase {
    const char* name;
    int mode;
    KernelForm form;
    bool check;
};

inline std::ostream& operator<<(std::ostream& out, const FormCase& c)
{
    return out << c.name;
}

// The forms of one mode, with and without the check. The plain form of a
// mode without the check is the reference the others are held to.
inline std::vector<FormCase> formCasesOf(int mode)
{
    struct Named { const char* name[2]; KernelForm form; };
    std::vector<Named> named;
    if (mode == ModeSse)
        named = {{{"Sse_FourLanes", "Sse_FourLanesChecked"}, FormPlain},
                 {{"Sse_Avx2", "Sse_Avx2Checked"}, FormAvx2},
                 {{"Sse_Avx512", "Sse_Avx512Checked"}, FormAvx512},
                 {{"Sse_Neon", "Sse_NeonChecked"}, FormNeon}};
    if (mode == ModeFpuC)
        named = {{{"FpuC_Scalar", "FpuC_ScalarChecked"}, FormPlain},
                 {{"FpuC_Sse2", "FpuC_Sse2Checked"}, FormSse2},
                 {{"FpuC_Avx2", "FpuC_Avx2Checked"}, FormAvx2},
                 {{"FpuC_Avx512", "FpuC_Avx512Checked"}, FormAvx512},
                 {{"FpuC_Neon", "FpuC_NeonChecked"}, FormNeon}};
    if (mode == ModeFpuAsm)
        named = {{{"FpuAsm_MachineCode", "FpuAsm_MachineCodeChecked"}, FormPlain},
                 {{"FpuAsm_LongDouble", "FpuAsm_LongDoubleChecked"}, FormLongDouble}};
    std::vector<FormCase> cases;
    for (const Named& n : named)
        for (bool check : {false, true})
            cases.push_back({n.name[check], mode, n.form, check});
    return cases;
}

// The form every other form of `mode` is held to: its plain form without
// the check, or where there is no x87 machine code, the long double steps.
inline KernelForm referenceForm(int mode)
{
    return mode == ModeFpuAsm && !formBuilt(ModeFpuAsm, FormPlain) ? FormLongDouble : FormPlain;
}

// Every form but the references.
inline std::vector<FormCase> formCasesBesideTheReference(int mode)
{
    std::vector<FormCase> cases;
    for (const FormCase& c : formCasesOf(mode))
        if (c.form != referenceForm(mode) || c.check)
            cases.push_back(c);
    return cases;
}

// Long double in software (binary128 on 64-bit ARM) runs about 90 times
// slower than double, and slower still under an emulator: there rows are
// compared up to this limit.
inline int limitForTheForm(int mode, int limit)
{
    const bool software = mode == ModeFpuAsm && !formBuilt(ModeFpuAsm, FormPlain);
    return software && limit > 500 ? 500 : limit;
}

inline std::vector<FormCase> checkedFormCases()
{
    std::vector<FormCase> cases;
    for (int mode : {ModeSse, ModeFpuC, ModeFpuAsm})
        for (const FormCase& c : formCasesOf(mode))
            if (c.check)
                cases.push_back(c);
    return cases;
}

// Why `c` cannot run here, or "" where it can.
inline std::string whyAbsent(const FormCase& c)
{
    if (kernelForm(c.mode, c.form, c.check))
        return "";
    if (!formBuilt(c.mode, c.form))
        return std::string("this build has no ") + c.name + " form";
    return std::string("this processor or its OS cannot run the ") + c.name + " form";
}

inline std::string formCaseName(const testing::TestParamInfo<FormCase>& info)
{
    return info.param.name;
}

// The kernel of the case, or a skip of the whole test with the reason.
#define VEXA_FORM_OR_SKIP(kernel, c)                          \
    RowKernel kernel = kernelForm((c).mode, (c).form, (c).check); \
    if (!kernel)                                              \
    GTEST_SKIP() << whyAbsent(c)
