#include "tests/unit/lampcheck/BrisoltLibrary.h"

#include "tests/support/TestPaths.h"

namespace testsupport {

std::string BrisoltLibrary::Path() { return DeliverableDirectory() + "\\Brisolt.dll"; }

BrisoltLibrary::BrisoltLibrary() : module_(::LoadLibraryA(Path().c_str()))
{
    namespace names = brisolt_names;
    construct = tavrel::GetProcAs<BrisoltConstructFn>(module_.get(), names::kConstructor);
    assign = tavrel::GetProcAs<BrisoltAssignFn>(module_.get(), names::kAssignment);
    getMachineId = tavrel::GetProcAs<BrisoltGetMachineIdFn>(module_.get(), names::kGetMachineId);
    searchRegistry =
        tavrel::GetProcAs<BrisoltSearchRegistryFn>(module_.get(), names::kSearchRegistry);
    showHideTavrel =
        tavrel::GetProcAs<BrisoltShowHideTavrelFn>(module_.get(), names::kShowHideTavrel);
}

bool BrisoltLibrary::complete() const
{
    return construct != nullptr && assign != nullptr && getMachineId != nullptr &&
           searchRegistry != nullptr && showHideTavrel != nullptr;
}

}  // namespace testsupport
