// Library tables a test controls word by word: what each function answers, and what it was asked.
#ifndef TONEMIX_FAKE_LIBRARIES_H
#define TONEMIX_FAKE_LIBRARIES_H

#include <cstdint>
#include <set>
#include <vector>

#include "host_api.h"

namespace tonemix_test {

// One description library at a time: its functions are plain C and find it through `current`.
struct FakeDescriptionLibrary {
    DescriptionLibraryTable table{};
    int32_t register_result = 1;
    std::vector<int32_t> registered_handles;
    std::vector<int32_t> registered_ids;
    int32_t record[3] = {0, 0, 0};  // what desclib_get_id answers
    int get_id_calls = 0;

    static FakeDescriptionLibrary*& current() {
        static FakeDescriptionLibrary* library = nullptr;
        return library;
    }
    FakeDescriptionLibrary() {
        current() = this;
        table.header.bound = TM_DESCLIB_GET_ID_OFFSET;
        table.desclib_register = [](int32_t id, HostStringHandle, int32_t handle) -> int32_t {
            current()->registered_ids.push_back(id);
            current()->registered_handles.push_back(handle);
            return current()->register_result;
        };
        table.desclib_get_id = [](DescriptionIdHandle, int32_t) -> const int32_t* {
            current()->get_id_calls += 1;
            return current()->record;
        };
    }
    ~FakeDescriptionLibrary() { current() = nullptr; }
    LibraryTable* header() { return &table.header; }
};

// The list data of a test is the set of scene objects it names.
struct FakeList {
    std::set<SceneObjectHandle> objects;
};

struct FakeListLibrary {
    ListLibraryTable table{};
    int32_t count_override = -1;  // >= 0: listlib_count answers this instead of the set's size
    bool build_fails = false;
    int32_t contains_answer_override = -1;  // >= 0: listlib_contains answers this
    std::vector<int32_t> build_words;
    std::set<const FakeList*> live;
    int frees = 0;
    int contains_calls = 0;

    static FakeListLibrary*& current() {
        static FakeListLibrary* library = nullptr;
        return library;
    }
    FakeListLibrary() {
        current() = this;
        table.header.bound = TM_LISTLIB_FREE_OFFSET;
        table.listlib_count = [](ListDataHandle data) -> int32_t {
            FakeListLibrary& self = *current();
            if (self.count_override >= 0) return self.count_override;
            return static_cast<int32_t>(reinterpret_cast<FakeList*>(data)->objects.size());
        };
        table.listlib_build = [](ListDataHandle data, int32_t word, int32_t) -> ListHandle {
            FakeListLibrary& self = *current();
            self.build_words.push_back(word);
            if (self.build_fails) return nullptr;
            FakeList* handle = new FakeList(*reinterpret_cast<FakeList*>(data));
            self.live.insert(handle);
            return reinterpret_cast<ListHandle>(handle);
        };
        table.listlib_contains = [](ListHandle handle, SceneObjectHandle object) -> int32_t {
            FakeListLibrary& self = *current();
            self.contains_calls += 1;
            if (self.contains_answer_override >= 0) return self.contains_answer_override;
            return reinterpret_cast<FakeList*>(handle)->objects.count(object) != 0 ? 1 : 0;
        };
        table.listlib_free = [](ListHandle handle) {
            FakeListLibrary& self = *current();
            self.frees += 1;
            self.live.erase(reinterpret_cast<FakeList*>(handle));
            delete reinterpret_cast<FakeList*>(handle);
        };
    }
    ~FakeListLibrary() {
        for (const FakeList* list : live) delete list;
        current() = nullptr;
    }
    LibraryTable* header() { return &table.header; }
};

}  // namespace tonemix_test

#endif
