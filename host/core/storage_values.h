// Host values that live in the module's storage: a string's 16 bytes, a file name's 28.
//
// The module owns the bytes, the host owns what they mean. A started value's storage holds
//   word 0  a magic word saying "started" (another one once ended),
//   word 1  the address of the host-side slot holding the value,
//   word 2  the slot's serial number.
// The host never follows word 1 blindly: a value is found through its serial in the host's own
// table, and only counts when the slot found is the one named by word 1 and was started in this
// very storage. Storage that was never started, already ended, overwritten or copied byte by byte
// is caught that way and reported as a misuse instead of being dereferenced.
#ifndef TMHOST_STORAGE_VALUES_H
#define TMHOST_STORAGE_VALUES_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/core/misuse_log.h"

namespace tmhost {

inline uint32_t word_of(const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

template <typename Storage, typename Value>
class StorageValues {
public:
    struct Live {
        const Storage* storage;
        const Value* value;
    };

    // kind names the value in messages ("string", "file name").
    StorageValues(const char* kind, uint32_t started_magic, uint32_t ended_magic,
                  MisuseLog& misuses)
        : kind_(kind), started_(started_magic), ended_(ended_magic), misuses_(misuses) {}
    StorageValues(const StorageValues&) = delete;
    StorageValues& operator=(const StorageValues&) = delete;

    // Starts an empty value in storage. A value still started there was never ended: that is
    // reported, and the old value stays counted as left behind.
    Value* start(Storage* storage, const char* operation) {
        if (storage == nullptr) {
            misuse(operation, "null " + std::string(kind_));
            return nullptr;
        }
        if (peek(storage) != nullptr) {
            misuse(operation,
                   "the " + std::string(kind_) + " was started again without being ended");
        }
        auto slot = std::make_unique<Slot>();
        slot->owner = storage;
        slot->serial = ++last_serial_;
        Slot* raw = slot.get();
        live_.emplace(raw->serial, std::move(slot));
        storage->words[0] = started_;
        storage->words[1] = word_of(raw);
        storage->words[2] = raw->serial;
        return &raw->value;
    }

    // The started value in storage, or null after reporting why there is none.
    Value* find(const Storage* storage, const char* operation) {
        if (storage == nullptr) {
            misuse(operation, "null " + std::string(kind_));
            return nullptr;
        }
        Slot* slot = slot_of(storage);
        if (slot != nullptr) return &slot->value;
        misuse(operation, not_started_reason(storage));
        return nullptr;
    }

    // The started value in storage, or null; reports nothing.
    Value* peek(const Storage* storage) {
        Slot* slot = storage != nullptr ? slot_of(storage) : nullptr;
        return slot != nullptr ? &slot->value : nullptr;
    }
    const Value* peek(const Storage* storage) const {
        return const_cast<StorageValues*>(this)->peek(storage);
    }

    // Ends the value in storage; false (and reported) when none was started there.
    bool end(Storage* storage, const char* operation) {
        if (find(storage, operation) == nullptr) return false;
        live_.erase(storage->words[2]);
        storage->words[0] = ended_;
        storage->words[1] = 0;
        return true;
    }

    std::size_t live_count() const { return live_.size(); }

    // Values started and not ended, oldest first.
    std::vector<Live> live() const {
        std::vector<Live> out;
        for (const auto& entry : live_) out.push_back({entry.second->owner, &entry.second->value});
        return out;
    }

private:
    struct Slot {
        const Storage* owner = nullptr;
        uint32_t serial = 0;
        Value value{};
    };

    Slot* slot_of(const Storage* storage) {
        if (storage->words[0] != started_) return nullptr;
        auto found = live_.find(storage->words[2]);
        if (found == live_.end()) return nullptr;
        Slot* slot = found->second.get();
        if (word_of(slot) != storage->words[1] || slot->owner != storage) return nullptr;
        return slot;
    }

    std::string not_started_reason(const Storage* storage) const {
        const std::string kind = kind_;
        if (storage->words[0] == ended_) return "the " + kind + " was already ended";
        if (storage->words[0] != started_) return "the " + kind + " was never started";
        auto found = live_.find(storage->words[2]);
        if (found != live_.end() && word_of(found->second.get()) == storage->words[1]) {
            return "the " + kind + " was copied byte by byte from the storage it was started in";
        }
        return "the " + kind + "'s storage was overwritten or holds an ended copy";
    }

    void misuse(const char* operation, const std::string& what) {
        misuses_.add(std::string(operation) + ": " + what);
    }

    const char* kind_;
    uint32_t started_;
    uint32_t ended_;
    MisuseLog& misuses_;
    std::map<uint32_t, std::unique_ptr<Slot>> live_;  // by serial: oldest first
    uint32_t last_serial_ = 0;
};

}  // namespace tmhost

#endif
