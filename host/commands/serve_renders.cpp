#include "host/commands/serve_renders.h"

#include <algorithm>
#include <chrono>

namespace tmhost {

namespace {

constexpr std::chrono::milliseconds kWaitLook(50);

std::size_t image_bytes(const Image& image) {
    return static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()) * 3 *
           sizeof(float);
}

}  // namespace

LiveImage::LiveImage(int width, int height, int pixel_samples)
    : image_(width, height),
      pixel_samples_(pixel_samples),
      rows_done_(new std::atomic<unsigned char>[static_cast<std::size_t>(height)]) {
    for (int y = 0; y < height; ++y) rows_done_[y].store(0, std::memory_order_relaxed);
}

Image LiveImage::snapshot(const Image* under) const {
    Image shown(image_.width(), image_.height());
    const bool beneath =
        under != nullptr && under->width() == image_.width() && under->height() == image_.height();
    const std::size_t row_floats = static_cast<std::size_t>(image_.width()) * 3;
    for (int y = 0; y < image_.height(); ++y) {
        // Acquire: the row's pixels, written before its flag, are whole once the flag is seen.
        const float* source = rows_done_[y].load(std::memory_order_acquire) != 0
                                  ? image_.pixel(0, y)
                                  : (beneath ? under->pixel(0, y) : nullptr);
        if (source != nullptr) std::copy(source, source + row_floats, shown.pixel(0, y));
    }
    return shown;
}

ServeRenders::Turn::Turn(ServeRenders& renders, std::string client,
                         std::optional<std::uint64_t> order)
    : renders_(renders), client_(std::move(client)), watch_(std::make_shared<RenderWatch>()) {
    const std::lock_guard<std::mutex> lock(renders_.mutex_);
    if (renders_.stopping_) watch_->cancelled = true;
    if (!client_.empty() && order && !renders_.newest(client_, *order)) {
        // Overtaken on the way: the client's newer request must not be cancelled by it.
        watch_->cancelled = true;
        client_.clear();
    } else if (!client_.empty()) {
        std::shared_ptr<RenderWatch>& current = renders_.current_[client_];
        if (current) current->cancelled = true;
        current = watch_;
    }
    // A cancelled render waiting for the slot must see it now, not at its next look.
    renders_.slot_free_.notify_all();
}

ServeRenders::Turn::~Turn() {
    const std::lock_guard<std::mutex> lock(renders_.mutex_);
    const auto current = renders_.current_.find(client_);
    if (current != renders_.current_.end() && current->second == watch_) {
        renders_.current_.erase(current);
        renders_.live_.erase(client_);
    }
    if (holds_slot_) {
        renders_.slot_busy_ = false;
        renders_.slot_free_.notify_all();
    }
}

void ServeRenders::Turn::show(std::shared_ptr<LiveImage> live) {
    const std::lock_guard<std::mutex> lock(renders_.mutex_);
    const auto current = renders_.current_.find(client_);
    if (current != renders_.current_.end() && current->second == watch_) {
        renders_.live_[client_] = std::move(live);
    }
}

bool ServeRenders::Turn::take_slot(const std::function<bool()>& gone) {
    std::unique_lock<std::mutex> lock(renders_.mutex_);
    for (;;) {
        if (watch_->cancelled) return false;
        if (!renders_.slot_busy_) break;
        renders_.slot_free_.wait_for(lock, kWaitLook);
        if (gone && gone()) {
            watch_->cancelled = true;
            return false;
        }
    }
    renders_.slot_busy_ = true;
    holds_slot_ = true;
    return true;
}

ServeRenders::SessionLock::SessionLock(ServeRenders& renders) : renders_(renders) {
    std::unique_lock<std::mutex> lock(renders_.mutex_);
    renders_.slot_free_.wait(lock, [&] { return !renders_.slot_busy_; });
    renders_.slot_busy_ = true;
}

ServeRenders::SessionLock::~SessionLock() {
    const std::lock_guard<std::mutex> lock(renders_.mutex_);
    renders_.slot_busy_ = false;
    renders_.slot_free_.notify_all();
}

bool ServeRenders::newest(const std::string& client, std::uint64_t order) {
    const auto known = highest_order_.find(client);
    if (known != highest_order_.end()) {
        if (order < known->second) return false;
        known->second = order;
        return true;
    }
    if (highest_order_.size() >= kRememberedClients) {
        for (auto entry = highest_order_.begin(); entry != highest_order_.end(); ++entry) {
            if (current_.count(entry->first) == 0) {
                highest_order_.erase(entry);
                break;
            }
        }
    }
    highest_order_.emplace(client, order);
    return true;
}

RenderProgress ServeRenders::progress(const std::string& client) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto current = current_.find(client);
    if (current == current_.end()) return {};
    const auto live = live_.find(client);
    return {true, current->second->rows.load(), current->second->total_rows.load(),
            live != live_.end() ? live->second->pixel_samples() : 0};
}

std::shared_ptr<LiveImage> ServeRenders::live(const std::string& client) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = live_.find(client);
    return found != live_.end() ? found->second : nullptr;
}

bool ServeRenders::cancel(const std::string& client) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto current = current_.find(client);
    if (client.empty() || current == current_.end()) return false;
    current->second->cancelled = true;
    slot_free_.notify_all();
    return true;
}

void ServeRenders::cancel_all() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (auto& entry : current_) entry.second->cancelled = true;
    slot_free_.notify_all();
}

std::string ServeImages::add(std::shared_ptr<const Image> image) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string id = std::to_string(next_++);
    bytes_ += image_bytes(*image);
    images_.emplace_back(id, std::move(image));
    while (images_.size() > 1 && (images_.size() > kKept || bytes_ > kKeptBytes)) {
        bytes_ -= image_bytes(*images_.front().second);
        images_.pop_front();
    }
    return id;
}

std::shared_ptr<const Image> ServeImages::find(const std::string& id) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : images_) {
        if (entry.first == id) return entry.second;
    }
    return nullptr;
}

}  // namespace tmhost
