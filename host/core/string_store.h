// Host strings held in the module's 16-byte storage. Text is bytes: UTF-8 passes through.
#ifndef TMHOST_STRING_STORE_H
#define TMHOST_STRING_STORE_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/core/misuse_log.h"
#include "host/core/storage_values.h"
#include "host_api.h"

namespace tmhost {

class StringStore {
public:
    explicit StringStore(MisuseLog& misuses);

    // The table's operations. A string that is not started is reported and answers 0 / nothing.
    void init(HostStringHandle s);
    void set_cstr(HostStringHandle s, const char* text, int32_t length, int32_t zero);
    void copy(HostStringHandle source, HostStringHandle destination);
    int32_t length(HostStringHandle s);
    int32_t insert(HostStringHandle s, int32_t position,
                   HostStringHandle other);  // non-zero on success
    void free(HostStringHandle s);

    // For tests and the host's own code: the same behaviour without the journal.
    void start(HostStringHandle s, const std::string& text);
    // The text of a started string, or null; reports nothing.
    const std::string* text(const HostStringStorage* s) const { return values_.peek(s); }
    // The text of a started string; reported as a misuse of `operation` when not started.
    const std::string* text_for(HostStringHandle s, const char* operation) {
        return values_.find(s, operation);
    }

    std::size_t live_count() const { return values_.live_count(); }
    // Texts of the strings started and not ended, oldest first.
    std::vector<std::string> live_texts() const;

private:
    MisuseLog& misuses_;
    StorageValues<HostStringStorage, std::string> values_;
};

}  // namespace tmhost

#endif
