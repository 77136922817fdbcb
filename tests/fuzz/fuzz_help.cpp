// Help keyword lookup.
#include "FuzzInput.h"
#include "help/HelpFunc_Torva.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const std::string group = in.Text();
    const std::string keyword = in.Rest();
    const int32_t context = HelpContextOf(keyword, group);
    HelpKeywordTable table;
    FillHelpKeywordTable(group, keyword, table);
    FUZZ_CHECK(table.count >= 1 && table.count <= HelpKeywordTable::kCapacity);
    if (context != 0) {
        bool found = false;
        for (int i = 0; i < table.count && !found; ++i) found = table.contexts[i] == context;
        FUZZ_CHECK(found);
    }
    HelpTextToInt(keyword);
    return 0;
}
