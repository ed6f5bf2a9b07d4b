// A program of the platform as Microsoft's compiler builds it, reduced to
// what proves the link: compiled for the MSVC ABI from the declarations
// below (written by hand, no headers), linked by lld-link against an import
// library made from the decorated names, without any C runtime. Its entry
// returns 0 when every answer is right, else the number of the first wrong
// one (the checks are numbered below).
//
// What the running test prepares beforehand: the driver-utility stand-in
// installed with capability word 1 and presence word 2, and the string
// value "Probe" = "QUORB" under HKCU\Software\TavrelTests\BrisoltCaller.

struct tagVELMORA_UTILS_STRUC;
struct HKEY__;
typedef HKEY__* HKEY;

class __declspec(dllimport) CBrisolt {
public:
    CBrisolt();
    CBrisolt& operator=(const CBrisolt& other);
    static unsigned long GetMachineId(tagVELMORA_UTILS_STRUC* structure,
                                      int(__stdcall* function)());
    static int search_registry(HKEY root, char* subkey, char* valueName, char* data);
};

extern "C" __declspec(dllimport) int ShowHideTavrel(unsigned long lampMask);

// The constructor once more, declared as the function it is underneath, so
// that the object it returns in EAX/RAX can be compared.
#if defined(_M_IX86)
#define BRISOLT_CONSTRUCTOR "??0CBrisolt@@QAE@XZ"
#else
#define BRISOLT_CONSTRUCTOR "??0CBrisolt@@QEAA@XZ"
#endif
extern "C" __declspec(dllimport) CBrisolt* __thiscall ConstructAndReturn(CBrisolt* self)
    __asm__(BRISOLT_CONSTRUCTOR);

namespace {

const HKEY kCurrentUser = reinterpret_cast<HKEY>(static_cast<__INTPTR_TYPE__>(
    static_cast<int>(0x80000001u)));
char kProbeKey[] = "Software\\TavrelTests\\BrisoltCaller";
char kAbsentKey[] = "Software\\TavrelTests\\BrisoltCaller\\Absent";
char kProbeValue[] = "Probe";
const char kProbeText[] = "QUORB";

tagVELMORA_UTILS_STRUC* g_seenStructure = nullptr;

// The platform's identifier functions take the structure and a word; this
// one removes its arguments itself (on i686; x86_64 has one convention).
int __stdcall StoresIdentifier(tagVELMORA_UTILS_STRUC* structure, unsigned long* id)
{
    g_seenStructure = structure;
    *id = 0x600D;
    return 1;
}

int __cdecl StoresAndFails(tagVELMORA_UTILS_STRUC*, unsigned long* id)
{
    *id = 0x0BAD;
    return 0;
}

template <typename Function>
int(__stdcall* AsDeclared(Function function))()
{
    return reinterpret_cast<int(__stdcall*)()>(function);
}

bool SameText(const char* left, const char* right)
{
    for (;; ++left, ++right) {
        if (*left != *right) {
            return false;
        }
        if (*left == '\0') {
            return true;
        }
    }
}

#if defined(_M_IX86)
// The identifier from a function that leaves its arguments on the stack for
// the caller to remove.
int __cdecl StoresIdentifierLeavingArguments(tagVELMORA_UTILS_STRUC* structure, unsigned long* id)
{
    g_seenStructure = structure;
    *id = 0x600D;
    return 1;
}

// On i686 the conventions differ in who removes the arguments, and a wrong
// one shifts the caller's stack. Each call below is made as the compiler
// makes it, written out so that the stack pointer can be compared before
// and after the whole sequence; it is put back afterwards either way, so a
// wrong convention is reported instead of crashing the caller.

extern "C" __declspec(dllimport) CBrisolt* __thiscall AssignAndReturn(CBrisolt* self,
                                                                      const CBrisolt* other)
    __asm__("??4CBrisolt@@QAEAAV0@ABV0@@Z");

using GetMachineIdFunction = unsigned long (*)(tagVELMORA_UTILS_STRUC*, int(__stdcall*)());

// The static member: two arguments pushed, the caller removes them.
unsigned long GetMachineIdMeasured(tagVELMORA_UTILS_STRUC* structure, int(__stdcall* function)(),
                                   long& drift)
{
    const GetMachineIdFunction target = &CBrisolt::GetMachineId;
    unsigned long value = reinterpret_cast<unsigned long>(function);
    long moved = 0;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %%eax\n\t"
        "pushl %%edi\n\t"
        "calll *%%ebx\n\t"
        "addl $8, %%esp\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "+a"(value), "=d"(moved)
        : "D"(structure), "b"(target)
        : "ecx", "esi", "memory", "cc");
    drift = moved;
    return value;
}

// A member: the object in ECX, the argument (if any) pushed, and the callee
// removes it.
void* MemberMeasured(void* member, CBrisolt* self, const CBrisolt* other, bool withArgument,
                     long& drift)
{
    unsigned long value = reinterpret_cast<unsigned long>(self);
    long moved = 0;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "testl %%edi, %%edi\n\t"
        "jz 1f\n\t"
        "pushl %%ecx\n\t"
        "1:\n\t"
        "movl %%eax, %%ecx\n\t"
        "calll *%%ebx\n\t"
        "movl %%esp, %%edx\n\t"
        "subl %%esi, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "+a"(value), "=d"(moved), "+c"(other)
        : "D"(withArgument ? 1 : 0), "b"(member)
        : "esi", "memory", "cc");
    drift = moved;
    return reinterpret_cast<void*>(value);
}

// 9 to 11: the members and the static with both kinds of callee, several
// times in a row, leave the stack pointer where it was.
int CheckStackAcrossCalls(CBrisolt* object, tagVELMORA_UTILS_STRUC* structure)
{
    for (int round = 0; round < 4; ++round) {
        long drift = -1;
        if (MemberMeasured(reinterpret_cast<void*>(&ConstructAndReturn), object, nullptr, false,
                           drift) != object ||
            drift != 0) {
            return 9;
        }
        CBrisolt other;
        if (MemberMeasured(reinterpret_cast<void*>(&AssignAndReturn), object, &other, true,
                           drift) != object ||
            drift != 0) {
            return 10;
        }
        g_seenStructure = nullptr;
        if (GetMachineIdMeasured(structure, AsDeclared(&StoresIdentifier), drift) != 0x600D ||
            drift != 0 || g_seenStructure != structure) {
            return 11;
        }
        g_seenStructure = nullptr;
        if (GetMachineIdMeasured(structure, AsDeclared(&StoresIdentifierLeavingArguments),
                                 drift) != 0x600D ||
            drift != 0 || g_seenStructure != structure) {
            return 11;
        }
        if (GetMachineIdMeasured(structure, AsDeclared(&StoresAndFails), drift) != 0xFFFFFFFFul ||
            drift != 0) {
            return 11;
        }
    }
    return 0;
}
#endif

}  // namespace

extern "C" int CallerMain()
{
    // 1: the constructor returns the object.
    alignas(8) static char storage[8];
    CBrisolt* const object = reinterpret_cast<CBrisolt*>(storage);
    if (ConstructAndReturn(object) != object) {
        return 1;
    }
    // 2: assignment returns the object assigned to.
    CBrisolt left;
    CBrisolt right;
    if (&(left = right) != &left) {
        return 2;
    }
    // 3: the identifier stored, the structure passed on unchanged.
    tagVELMORA_UTILS_STRUC* const structure = reinterpret_cast<tagVELMORA_UTILS_STRUC*>(storage);
    if (CBrisolt::GetMachineId(structure, AsDeclared(&StoresIdentifier)) != 0x600D ||
        g_seenStructure != structure) {
        return 3;
    }
    // 4: a failing function gives all ones, whatever it stored.
    if (CBrisolt::GetMachineId(structure, AsDeclared(&StoresAndFails)) != 0xFFFFFFFFul) {
        return 4;
    }
    // 5: the registry lookup finds the prepared string.
    static char data[260];
    if (CBrisolt::search_registry(kCurrentUser, kProbeKey, kProbeValue, data) != 0 ||
        !SameText(data, kProbeText)) {
        return 5;
    }
    // 6: a missing subkey answers 1.
    if (CBrisolt::search_registry(kCurrentUser, kAbsentKey, kProbeValue, data) != 1) {
        return 6;
    }
    // 7, 8: presence word 2 against masks 2 and 1.
    if (ShowHideTavrel(2) != 1) {
        return 7;
    }
    if (ShowHideTavrel(1) != 0) {
        return 8;
    }
#if defined(_M_IX86)
    return CheckStackAcrossCalls(object, structure);
#else
    return 0;
#endif
}
