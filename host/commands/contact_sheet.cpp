#include "host/commands/contact_sheet.h"

#include <algorithm>
#include <stdexcept>

#include "host/commands/command_error.h"

namespace tmhost {

namespace {

constexpr float kTextHeight = 15.0f;
constexpr int kMargin = 10;         // around the sheet, between cells
constexpr int kLabelGap = 3;        // between a tile and its label
constexpr int kMinimumWidth = 360;  // room for a readable caption beside small tiles
constexpr Ink kBackground = {0.012f, 0.012f, 0.014f};
constexpr Ink kLabelInk = {0.80f, 0.80f, 0.80f};
constexpr Ink kCaptionInk = {1.0f, 1.0f, 1.0f};

}  // namespace

ContactSheet::ContactSheet(const SheetLayout& layout) : lettering_(kTextHeight), layout_(layout) {
    std::size_t label_lines = 0;
    int widest_label = 0;
    for (const std::vector<std::string>& label : layout_.labels) {
        label_lines = std::max(label_lines, label.size());
        for (const std::string& line : label) {
            widest_label = std::max(widest_label, lettering_.width(line));
        }
    }
    const int line = lettering_.line_height();
    cell_width_ = std::max(layout_.tile_width, widest_label);
    cell_height_ = layout_.tile_height + kLabelGap + static_cast<int>(label_lines) * line;
    // Computed in 64 bits: a grid of large tiles must be refused, not wrapped round.
    const long long grid_width =
        static_cast<long long>(layout_.columns) * (cell_width_ + kMargin) - kMargin;
    const long long grid_height =
        static_cast<long long>(layout_.rows) * (cell_height_ + kMargin) - kMargin;
    const long long width = std::max<long long>(grid_width + 2 * kMargin, kMinimumWidth);
    if (width <= kMaxImageSide) {
        for (const std::string& paragraph : layout_.caption) {
            for (std::string& text :
                 lettering_.wrapped(paragraph, static_cast<int>(width) - 2 * kMargin)) {
                caption_lines_.push_back(std::move(text));
            }
        }
    }
    const long long caption_height =
        caption_lines_.empty() ? 0 : static_cast<long long>(caption_lines_.size()) * line + kMargin;
    const long long height = kMargin + caption_height + grid_height + kMargin;
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
        throw UsageError("contact sheet of " + std::to_string(width) + "x" +
                         std::to_string(height) + " pixels: more than an image may hold (" +
                         std::to_string(kMaxImageSide) + " a side, " +
                         std::to_string(kMaxImagePixels) +
                         " in all); make the tiles smaller (--width, --height) or vary fewer "
                         "values");
    }
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    grid_left_ = (width_ - static_cast<int>(grid_width)) / 2;
    grid_top_ = kMargin + static_cast<int>(caption_height);

    image_ = Image(width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            float* rgb = image_.pixel(x, y);
            rgb[0] = kBackground.red;
            rgb[1] = kBackground.green;
            rgb[2] = kBackground.blue;
        }
    }
    for (std::size_t i = 0; i < caption_lines_.size(); ++i) {
        lettering_.draw(image_, kMargin, kMargin + static_cast<int>(i) * line, caption_lines_[i],
                        kCaptionInk);
    }
    for (int row = 0; row < layout_.rows; ++row) {
        for (int column = 0; column < layout_.columns; ++column) {
            const std::size_t index = static_cast<std::size_t>(row * layout_.columns + column);
            if (index >= layout_.labels.size()) continue;
            const int cell_x = grid_left_ + column * (cell_width_ + kMargin);
            const int label_top = tile_y(row) + layout_.tile_height + kLabelGap;
            const std::vector<std::string>& label = layout_.labels[index];
            for (std::size_t k = 0; k < label.size(); ++k) {
                const int x = cell_x + (cell_width_ - lettering_.width(label[k])) / 2;
                lettering_.draw(image_, x, label_top + static_cast<int>(k) * line, label[k],
                                kLabelInk);
            }
        }
    }
}

int ContactSheet::tile_x(int column) const {
    return grid_left_ + column * (cell_width_ + kMargin) + (cell_width_ - layout_.tile_width) / 2;
}

int ContactSheet::tile_y(int row) const { return grid_top_ + row * (cell_height_ + kMargin); }

void ContactSheet::place(int column, int row, const Image& tile) {
    if (tile.width() != layout_.tile_width || tile.height() != layout_.tile_height || column < 0 ||
        column >= layout_.columns || row < 0 || row >= layout_.rows) {
        throw std::invalid_argument("contact sheet: a tile that does not fit its place");
    }
    const int left = tile_x(column);
    const int top = tile_y(row);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            const float* from = tile.pixel(x, y);
            float* to = image_.pixel(left + x, top + y);
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}

}  // namespace tmhost
