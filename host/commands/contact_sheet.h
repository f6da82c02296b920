// The image of a contact sheet: a caption over a grid of equal tiles, each with its label under
// it. The layout is fixed when the sheet is made, so that its size is known (and refused when too
// large) before any tile is rendered; tiles are placed as they are done.
#ifndef TMHOST_CONTACT_SHEET_H
#define TMHOST_CONTACT_SHEET_H

#include <string>
#include <vector>

#include "host/image/image.h"
#include "host/image/lettering.h"

namespace tmhost {

struct SheetLayout {
    int columns = 1;
    int rows = 1;
    int tile_width = 1;
    int tile_height = 1;
    // labels[row * columns + column]: the lines under that tile.
    std::vector<std::vector<std::string>> labels;
    std::vector<std::string> caption;  // paragraphs, wrapped to the sheet's width
};

class ContactSheet {
public:
    // Throws UsageError when the sheet would exceed an image's pixel limit.
    explicit ContactSheet(const SheetLayout& layout);

    int width() const { return width_; }
    int height() const { return height_; }
    // The tile's top-left pixel in the sheet.
    int tile_x(int column) const;
    int tile_y(int row) const;

    // Copies the tile into its place; throws std::invalid_argument for a tile of another size
    // than the layout's or a place outside the grid.
    void place(int column, int row, const Image& tile);

    // The caption, the labels and the tiles placed so far.
    const Image& image() const { return image_; }

private:
    Lettering lettering_;
    SheetLayout layout_;
    std::vector<std::string> caption_lines_;
    int cell_width_ = 0;
    int cell_height_ = 0;
    int grid_left_ = 0;
    int grid_top_ = 0;
    int width_ = 0;
    int height_ = 0;
    Image image_;
};

}  // namespace tmhost

#endif
