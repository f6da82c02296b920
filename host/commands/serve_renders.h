// The renders of tonemix-host serve's clients. Every command of the server runs in one module
// session, whose host has one renderer: one runs at a time, in the slot. A client (a page, by
// the id it makes) has at most one render that counts: a newer one cancels the older, which
// stops after the rows it is shading, whether it runs or still waits for the slot.
//
// "Newer" is the client's own order when it numbers its requests: a page's requests travel on
// several connections, and one sent before another may reach the server after it. A request
// whose number is below the highest the client has sent is refused and cancels nothing.
#ifndef TMHOST_SERVE_RENDERS_H
#define TMHOST_SERVE_RENDERS_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "host/image/image.h"
#include "host/render/scene_renderer.h"

namespace tmhost {

struct RenderProgress {
    bool running = false;
    long done = 0;   // rows
    long total = 0;  // rows
    int pixel_samples = 0;
};

// A render's image while it is shaded, each row flagged once it is whole, so that a page can be
// shown the rows done while the others are still being shaded.
class LiveImage {
public:
    LiveImage(int width, int height, int pixel_samples);

    Image& image() { return image_; }
    int pixel_samples() const { return pixel_samples_; }
    // For RenderWatch::rows_done.
    std::atomic<unsigned char>* rows_done() { return rows_done_.get(); }
    // The rows done so far, the others from `under` when it has the same size, else black.
    Image snapshot(const Image* under) const;

private:
    Image image_;
    const int pixel_samples_;
    std::unique_ptr<std::atomic<unsigned char>[]> rows_done_;
};

class ServeRenders {
public:
    // A client's render from its registration to its end; cancels nothing when it ends.
    class Turn {
    public:
        // An empty `client` is a client of its own: it cancels nothing, nothing cancels it, and
        // its progress is not shown. Without `order` the turn is the client's newest.
        Turn(ServeRenders& renders, std::string client,
             std::optional<std::uint64_t> order = std::nullopt);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

        RenderWatch& watch() { return *watch_; }
        // Shows the image the turn shades to /api/partial until the turn ends.
        void show(std::shared_ptr<LiveImage> live);
        // Waits for the slot. False, without it, when the turn was cancelled meanwhile or `gone`
        // answers true (asked every 50 ms).
        bool take_slot(const std::function<bool()>& gone);

    private:
        ServeRenders& renders_;
        std::string client_;
        std::shared_ptr<RenderWatch> watch_;
        bool holds_slot_ = false;
    };

    // Session work that renders nothing (a parameter list): waits for the slot, cancels nothing.
    class SessionLock {
    public:
        explicit SessionLock(ServeRenders& renders);
        ~SessionLock();
        SessionLock(const SessionLock&) = delete;
        SessionLock& operator=(const SessionLock&) = delete;

    private:
        ServeRenders& renders_;
    };

    RenderProgress progress(const std::string& client) const;
    // The image the client's render shades, while it runs; null otherwise.
    std::shared_ptr<LiveImage> live(const std::string& client) const;
    // Cancels the client's render; false when it has none.
    bool cancel(const std::string& client);
    // Cancels every render and lets no new one start: the server is stopping.
    void cancel_all();

    // The clients whose highest order is remembered, at most; a client without a render is
    // forgotten first. A page makes one client per load.
    static constexpr std::size_t kRememberedClients = 4096;

private:
    // Records `order` as the client's highest; false when it is below the highest.
    bool newest(const std::string& client, std::uint64_t order);

    mutable std::mutex mutex_;
    std::condition_variable slot_free_;
    bool slot_busy_ = false;
    bool stopping_ = false;
    std::map<std::string, std::shared_ptr<RenderWatch>> current_;  // by client
    std::map<std::string, std::shared_ptr<LiveImage>> live_;       // by client, while shaded
    std::map<std::string, std::uint64_t> highest_order_;           // by client
};

// The images the server made, by id, for the page to fetch at any exposure and to download; the
// oldest are let go past kKept images or kKeptBytes of pixels (the newest is always kept).
class ServeImages {
public:
    static constexpr std::size_t kKept = 64;
    static constexpr std::size_t kKeptBytes = std::size_t{256} << 20;

    std::string add(std::shared_ptr<const Image> image);
    // Null when the id is unknown or let go.
    std::shared_ptr<const Image> find(const std::string& id) const;

private:
    mutable std::mutex mutex_;
    std::deque<std::pair<std::string, std::shared_ptr<const Image>>> images_;
    std::size_t bytes_ = 0;
    std::uint64_t next_ = 1;
};

}  // namespace tmhost

#endif
