#pragma once
// What the parts of the materials window share (FrmFjgl.cpp and the
// materials_window_*.cpp beside it): the columns and row heights of its two
// grids and the caption of the file grid's choose column.

namespace materials::ui {

constexpr int kHeaderHeight = 340;
constexpr int kRowHeight = 300;
constexpr int kMaterialGridWidth = 4600;

// Material grid columns.
constexpr int kFjxh = 0, kFjmc = 1, kDzjs = 2, kFjKb = 3, kFjid = 4;
// File grid columns.
constexpr int kFileXh = 0, kFileName = 1, kFileTitle = 2, kFileUrl = 3, kChoose = 4, kFileKb = 5,
              kFilems = 6;

constexpr const char* kChooseText = ">>>";

} // namespace materials::ui
