// mavris-scan: runs the tool's start-up scan (LoadRegEntries, then
// ReduceToModemOnHoldSupported) against this machine's registry and COM ports and prints
// what it finds:
//   warning<TAB>index<TAB>display name      as each country warning happens
//   modem<TAB>index<TAB>display name<TAB>subkey number<TAB>UserInit   per supported modem
//   count<TAB>n
// Exit code 0 with at least one supported modem, 1 with none, 2 on a usage error.
// Like the tool, --apply on a modem key that the user may not write starts this program again
// with administrator rights on the write-only command line (modem/userinit_write_command.h).
#include <cstdio>
#include <cstring>
#include <string>

#include "modem/modem_list.h"
#include "modem/userinit_write_request.h"
#include "platform/win32/win32_platform.h"
#include "scan/apply_mode.h"
#include "scan/scan_output.h"

namespace {

const char kUsage[] =
    "usage: mavris-scan [--help]\n"
    "Scans the installed modems as the tool does at start-up and prints one tab-separated\n"
    "line per country warning, one per supported modem, then the count.\n";

// What the command line asks for. A further mode adds its flag here, its parsing in
// ParseArgs and its branch in main, after the scan.
struct ScanArgs {
    bool bHelp = false;
    ApplyArgs apply;
};

// False with a reason on an argument it does not know.
bool ParseArgs(int argc, char** argv, ScanArgs* pArgs, std::string* pError) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            pArgs->bHelp = true;
        } else if (int n = ParseApplyArg(argc, argv, i, &pArgs->apply, pError); n != 0) {
            if (n < 0) {
                return false;
            }
            i += n - 1;
        } else {
            *pError = std::string("unknown argument: ") + argv[i];
            return false;
        }
    }
    return CheckApplyArgs(pArgs->apply, pError);
}

// Prints each country warning as the scan raises it; the record is still in the list then.
class CPrintingWarningSink : public ICountryWarningSink {
public:
    void SetList(const CModemList* pList) { m_pList = pList; }
    void OnCountryWarning(int nIndex) override {
        PrintCountryWarning(stdout, nIndex, m_pList->GetAt(nIndex)->GetName());
    }

private:
    const CModemList* m_pList = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (IsUserInitWriteRequest(argc, argv)) {
        return RunUserInitWriteRequest(GetWin32Platform(), argc, argv);
    }
    ScanArgs args;
    std::string error;
    if (!ParseArgs(argc, argv, &args, &error)) {
        std::fprintf(stderr, "mavris-scan: %s\n%s%s", error.c_str(), kUsage, kApplyUsage);
        return 2;
    }
    if (args.bHelp) {
        std::fputs(kUsage, stdout);
        std::fputs(kApplyUsage, stdout);
        return 0;
    }

    CPrintingWarningSink sink;
    CModemList list(GetWin32Platform(), &sink);
    sink.SetList(&list);
    list.LoadRegEntries();
    list.ReduceToModemOnHoldSupported();
    PrintModemList(stdout, list);

    // Modes that act on the scanned list (the kept modems are connected, their ports open)
    // branch off here.
    if (args.apply.bApply) {
        return RunApplyMode(GetWin32Platform(), list, args.apply, stdout);
    }

    return list.GetCount() > 0 ? 0 : 1;
}
