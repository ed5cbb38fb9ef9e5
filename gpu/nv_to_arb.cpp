// NV_vertex_program 1.0 to ARB_vertex_program translator. A small recursive
// descent over the NV text builds a list of instructions, which are then
// written out with ARB register names. Pure: no GL.
#include <cstring>
#include <vector>

#include "gpu/nv_to_arb.h"

namespace {

enum RegisterFile { FileTemp, FileParam, FileAttrib, FileOutput };

constexpr int TempCount = 12;
constexpr int ParamCount = 96;
constexpr int AttribCount = 16;
constexpr int FullMask = 0xF;

struct Operand {
    RegisterFile file = FileTemp;
    int index = 0;
    char swizzle[4] = {'x', 'y', 'z', 'w'};
    bool negate = false;
    int mask = FullMask;  // destinations only: bit 0 = x ... bit 3 = w
};

struct Opcode {
    const char* name;
    int sources;
};
const Opcode opcodes[] = {{"MOV", 1}, {"ADD", 2}, {"MUL", 2}, {"DP4", 2}, {"MAD", 3}};

struct Instruction {
    const Opcode* op;
    Operand dst;
    Operand src[3];
};

// Output registers the translation supports, with their ARB bindings.
struct OutputName {
    const char* nv;
    const char* arb;
};
const OutputName outputs[] = {{"HPOS", "result.position"}, {"COL0", "result.color"}};
constexpr int OutputCount = 2;
const char* const otherOutputs[] = {"COL1", "BFC0", "BFC1", "FOGC", "PSIZ", "TEX0", "TEX1",
                                    "TEX2", "TEX3", "TEX4", "TEX5", "TEX6", "TEX7"};

// NV attribute names; the index is the attribute they alias.
const char* const attribNames[AttribCount] = {"OPOS", "WGHT", "NRML", "COL0", "COL1", "FOGC",
                                              nullptr, nullptr, "TEX0", "TEX1", "TEX2", "TEX3",
                                              "TEX4", "TEX5", "TEX6", "TEX7"};

struct Parser {
    const char* text = "";
    size_t length = 0;
    size_t pos = 0;
    std::string error;
};

bool fail(Parser& p, size_t at, const std::string& reason)
{
    p.error = "character " + std::to_string(at) + ": " + reason;
    return false;
}

char peek(const Parser& p)
{
    return p.pos < p.length ? p.text[p.pos] : '\0';
}

// Blanks and comments (from '#' to the end of the line) separate tokens.
void skipBlanks(Parser& p)
{
    while (p.pos < p.length) {
        char c = p.text[p.pos];
        if (c == '#') {
            while (p.pos < p.length && p.text[p.pos] != '\n')
                ++p.pos;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++p.pos;
        } else {
            return;
        }
    }
}

bool isWordChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string readWord(Parser& p)
{
    size_t start = p.pos;
    while (p.pos < p.length && isWordChar(p.text[p.pos]))
        ++p.pos;
    return std::string(p.text + start, p.pos - start);
}

bool expect(Parser& p, char c, const char* what)
{
    skipBlanks(p);
    if (peek(p) != c)
        return fail(p, p.pos, std::string("expected ") + what);
    ++p.pos;
    return true;
}

bool readNumber(const std::string& word, int limit, int* value)
{
    if (word.empty() || word.size() > 3)
        return false;
    if (word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::stoi(word);
    return *value < limit;
}

int componentBit(char c)
{
    const char* letters = "xyzw";
    const char* at = c ? strchr(letters, c) : nullptr;
    return at ? 1 << (at - letters) : 0;
}

// ".x" replicates one component; otherwise exactly four are given.
bool parseSwizzle(Parser& p, Operand* op)
{
    size_t at = p.pos;
    std::string letters = readWord(p);
    for (char c : letters)
        if (!componentBit(c))
            return fail(p, at, "invalid swizzle '." + letters + "'");
    if (letters.size() == 1) {
        memset(op->swizzle, letters[0], 4);
        return true;
    }
    if (letters.size() != 4)
        return fail(p, at, "a swizzle takes one or four components, not '." + letters + "'");
    memcpy(op->swizzle, letters.data(), 4);
    return true;
}

// Components in the order x, y, z, w, each at most once.
bool parseMask(Parser& p, Operand* op)
{
    size_t at = p.pos;
    std::string letters = readWord(p);
    int mask = 0, last = 0;
    for (char c : letters) {
        int bit = componentBit(c);
        if (!bit || bit <= last)
            return fail(p, at, "invalid write mask '." + letters + "'");
        mask |= bit;
        last = bit;
    }
    if (!mask)
        return fail(p, at, "empty write mask");
    op->mask = mask;
    return true;
}

bool parseBracketIndex(Parser& p, std::string* word)
{
    if (!expect(p, '[', "'['"))
        return false;
    skipBlanks(p);
    size_t at = p.pos;
    *word = readWord(p);
    if (*word == "A0")
        return fail(p, at, "relative addressing is not supported");
    return expect(p, ']', "']'");
}

bool parseOutputName(Parser& p, size_t at, const std::string& name, Operand* op)
{
    for (int i = 0; i < OutputCount; ++i) {
        if (name == outputs[i].nv) {
            op->index = i;
            return true;
        }
    }
    for (const char* other : otherOutputs)
        if (name == other)
            return fail(p, at, "output register o[" + name + "] is not supported");
    return fail(p, at, "unknown output register o[" + name + "]");
}

bool parseAttribName(Parser& p, size_t at, const std::string& name, Operand* op)
{
    if (readNumber(name, AttribCount, &op->index))
        return true;
    for (int i = 0; i < AttribCount; ++i) {
        if (attribNames[i] && name == attribNames[i]) {
            op->index = i;
            return true;
        }
    }
    return fail(p, at, "unknown vertex attribute v[" + name + "]");
}

// One register reference: Rn, c[n], v[n or name] or o[name].
bool parseRegister(Parser& p, Operand* op)
{
    skipBlanks(p);
    size_t at = p.pos;
    std::string word = readWord(p);
    std::string index;
    if (word.size() > 1 && word[0] == 'R') {
        op->file = FileTemp;
        if (!readNumber(word.substr(1), TempCount, &op->index))
            return fail(p, at, "no temporary register " + word + " (R0-R11)");
        return true;
    }
    if (word == "c") {
        op->file = FileParam;
        size_t indexAt = p.pos;
        if (!parseBracketIndex(p, &index))
            return false;
        if (!readNumber(index, ParamCount, &op->index))
            return fail(p, indexAt, "no program parameter c[" + index + "] (c[0]-c[95])");
        return true;
    }
    if (word == "v") {
        op->file = FileAttrib;
        return parseBracketIndex(p, &index) && parseAttribName(p, at, index, op);
    }
    if (word == "o") {
        op->file = FileOutput;
        return parseBracketIndex(p, &index) && parseOutputName(p, at, index, op);
    }
    if (word == "A0")
        return fail(p, at, "the address register is not supported");
    return fail(p, at, word.empty() ? "register expected" : "unknown register '" + word + "'");
}

bool parseDestination(Parser& p, Operand* op)
{
    size_t at = p.pos;
    if (!parseRegister(p, op))
        return false;
    if (op->file == FileParam || op->file == FileAttrib)
        return fail(p, at, "c[] and v[] registers cannot be written");
    skipBlanks(p);
    if (peek(p) != '.')
        return true;
    ++p.pos;
    return parseMask(p, op);
}

bool parseSource(Parser& p, Operand* op)
{
    skipBlanks(p);
    size_t at = p.pos;
    if (peek(p) == '-') {
        op->negate = true;
        ++p.pos;
    }
    if (!parseRegister(p, op))
        return false;
    if (op->file == FileOutput)
        return fail(p, at, "o[] registers cannot be read");
    skipBlanks(p);
    if (peek(p) != '.')
        return true;
    ++p.pos;
    return parseSwizzle(p, op);
}

// The NV rule: at most one distinct c[] and one distinct v[] per instruction.
bool checkDistinctReads(Parser& p, size_t at, const Instruction& in)
{
    for (int i = 0; i < in.op->sources; ++i) {
        for (int j = 0; j < i; ++j) {
            const Operand& a = in.src[i];
            const Operand& b = in.src[j];
            if (a.file == b.file && a.file != FileTemp && a.index != b.index)
                return fail(p, at, a.file == FileParam ? "reads two different c[] registers"
                                                       : "reads two different v[] registers");
        }
    }
    return true;
}

bool parseInstruction(Parser& p, const Opcode* op, size_t at, Instruction* in)
{
    in->op = op;
    if (!parseDestination(p, &in->dst))
        return false;
    for (int i = 0; i < op->sources; ++i)
        if (!expect(p, ',', "','") || !parseSource(p, &in->src[i]))
            return false;
    if (!expect(p, ';', "';'"))
        return false;
    return checkDistinctReads(p, at, *in);
}

const Opcode* findOpcode(const std::string& word)
{
    for (const Opcode& op : opcodes)
        if (word == op.name)
            return &op;
    return nullptr;
}

bool parseProgram(Parser& p, std::vector<Instruction>* program)
{
    if (p.length >= 8 && strncmp(p.text, "!!VSP1.0", 8) == 0)
        return fail(p, 0, "vertex state programs are not supported");
    bool versionOne = p.length >= 7 && strncmp(p.text, "!!VP1.0", 7) == 0;
    if (versionOne)
        p.pos = 7;
    if (versionOne && (isWordChar(peek(p)) || peek(p) == '.'))
        versionOne = false;
    if (!versionOne && p.length >= 4 && strncmp(p.text, "!!VP", 4) == 0)
        return fail(p, 0, "only version 1.0 programs (!!VP1.0) are supported");
    if (!versionOne)
        return fail(p, 0, "the program must begin with !!VP1.0");
    for (;;) {
        skipBlanks(p);
        size_t at = p.pos;
        if (at == p.length)
            return fail(p, at, "END missing");
        std::string word = readWord(p);
        if (word == "END")
            break;
        const Opcode* op = findOpcode(word);
        if (!op)
            return fail(p, at, word.empty() ? "instruction expected"
                                            : "unsupported instruction '" + word + "'");
        if ((int)program->size() == NvMaxInstructions)
            return fail(p, at, "more than 128 instructions");
        Instruction in;
        if (!parseInstruction(p, op, at, &in))
            return false;
        program->push_back(in);
    }
    skipBlanks(p);
    if (p.pos != p.length)
        return fail(p, p.pos, "text after END");
    return true;
}

// Which temporaries are read before they are written, and which output
// components the program writes; NV defines both starting values, ARB neither.
struct Usage {
    bool tempUsed[TempCount] = {};
    bool tempNeedsZero[TempCount] = {};
    int outputWritten[OutputCount] = {};
};

Usage findUsage(const std::vector<Instruction>& program)
{
    Usage u;
    int written[TempCount] = {};
    for (const Instruction& in : program) {
        for (int i = 0; i < in.op->sources; ++i) {
            const Operand& s = in.src[i];
            if (s.file != FileTemp)
                continue;
            u.tempUsed[s.index] = true;
            for (char c : s.swizzle)
                if (!(written[s.index] & componentBit(c)))
                    u.tempNeedsZero[s.index] = true;
        }
        if (in.dst.file == FileTemp) {
            u.tempUsed[in.dst.index] = true;
            written[in.dst.index] |= in.dst.mask;
        } else {
            u.outputWritten[in.dst.index] |= in.dst.mask;
        }
    }
    return u;
}

std::string attribName(int index)
{
    switch (index) {
    case 0: return "vertex.position";
    case 2: return "vertex.normal";
    case 3: return "vertex.color";
    case 4: return "vertex.color.secondary";
    case 5: return "vertex.fogcoord";
    default: break;
    }
    if (index >= 8)
        return "vertex.texcoord[" + std::to_string(index - 8) + "]";
    return "vertex.attrib[" + std::to_string(index) + "]";
}

std::string registerName(const Operand& op)
{
    switch (op.file) {
    case FileTemp: return "R" + std::to_string(op.index);
    case FileParam: return "program.env[" + std::to_string(op.index) + "]";
    case FileAttrib: return attribName(op.index);
    case FileOutput: return outputs[op.index].arb;
    }
    return "";
}

std::string writeDestination(const Operand& op)
{
    std::string s = registerName(op);
    if (op.mask != FullMask) {
        s += '.';
        for (int i = 0; i < 4; ++i)
            if (op.mask & (1 << i))
                s += "xyzw"[i];
    }
    return s;
}

std::string writeSource(const Operand& op)
{
    std::string s = (op.negate ? "-" : "") + registerName(op);
    if (memcmp(op.swizzle, "xyzw", 4) != 0)
        s += "." + std::string(op.swizzle, 4);
    return s;
}

std::string writeDeclarations(const Usage& u)
{
    std::string s;
    for (int i = 0; i < TempCount; ++i)
        if (u.tempUsed[i])
            s += (s.empty() ? "TEMP R" : ", R") + std::to_string(i);
    if (!s.empty())
        s += ";\n";
    for (int i = 0; i < TempCount; ++i)
        if (u.tempNeedsZero[i])
            s += "MOV R" + std::to_string(i) + ", {0.0, 0.0, 0.0, 0.0};\n";
    for (int i = 0; i < OutputCount; ++i)
        if (u.outputWritten[i] != FullMask)
            s += std::string("MOV ") + outputs[i].arb + ", {0.0, 0.0, 0.0, 1.0};\n";
    return s;
}

std::string writeArbProgram(const std::vector<Instruction>& program, const Usage& u)
{
    std::string s = "!!ARBvp1.0\n" + writeDeclarations(u);
    for (const Instruction& in : program) {
        s += std::string(in.op->name) + " " + writeDestination(in.dst);
        for (int i = 0; i < in.op->sources; ++i)
            s += ", " + writeSource(in.src[i]);
        s += ";\n";
    }
    return s + "END\n";
}

}  // namespace

bool translateNvToArb(const char* text, size_t length, std::string* arbText, std::string* error)
{
    Parser p;
    p.text = text ? text : "";
    p.length = text ? length : 0;
    std::vector<Instruction> program;
    if (!parseProgram(p, &program)) {
        *error = p.error;
        return false;
    }
    Usage usage = findUsage(program);
    if (usage.outputWritten[0] == 0) {
        *error = "character " + std::to_string(length) + ": o[HPOS] is never written";
        return false;
    }
    *arbText = writeArbProgram(program, usage);
    return true;
}
