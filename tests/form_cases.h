// Every form of every processor kernel this build has, named, for tests
// that run each form on its own. A form this processor lacks is skipped with
// the reason, never called: the run's skipped cases say which forms it did
// not test. Which forms each build must have is a test of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compute/compute.h"
#include "compute/kernel_forms.h"
#include "state/app_state.h"

struct FormCase {
    std::string name;  // the form's name as a test name: Sse_avx2Checked
    int mode;
    KernelForm form;
    bool check;
};

inline std::ostream& operator<<(std::ostream& out, const FormCase& c)
{
    return out << c.name;
}

// The forms of one mode this build has, with and without the check, in the
// table's order. The plain form of a mode without the check is the
// reference the others are held to.
inline std::vector<FormCase> formCasesOf(int mode)
{
    std::vector<FormCase> cases;
    for (const FormRow& f : formTable()) {
        if (f.mode != mode || builtForm(mode, f.form) != &f)
            continue;
        // "kernelFpuC/avx2" becomes "FpuC_avx2".
        std::string name = std::string(f.name).substr(6);
        name[name.find('/')] = '_';
        for (bool check : {false, true})
            cases.push_back({check ? name + "Checked" : name, mode, f.form, check});
    }
    return cases;
}

// The form every other form of `mode` is held to: its plain form without
// the check; where there is no x87 machine code, the long double steps;
// where the processor has no SSE or NEON, the portable four-lane loop.
inline KernelForm referenceForm(int mode)
{
    if (mode == ModeFpuAsm && !builtForm(ModeFpuAsm, FormPlain))
        return FormLongDouble;
    if (mode == ModeSse && !kernelForm(ModeSse, FormPlain, false))
        return FormPortable;
    return FormPlain;
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
    const bool software = mode == ModeFpuAsm && !builtForm(ModeFpuAsm, FormPlain);
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

inline std::string formCaseName(const testing::TestParamInfo<FormCase>& info)
{
    return info.param.name;
}

// The kernel of the case, or a skip of the whole test with the reason.
#define VEXA_FORM_OR_SKIP(kernel, c)                              \
    RowKernel kernel = kernelForm((c).mode, (c).form, (c).check); \
    if (!kernel)                                                  \
    GTEST_SKIP() << "this processor or its OS cannot run the " << (c).name << " form"
