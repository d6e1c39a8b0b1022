#include "headless_view.h"

namespace lettermoor::cli {

const std::string& HeadlessView::Label(LabelId id) const {
  static const std::string kEmpty;
  auto it = labels_.find(id);
  return it == labels_.end() ? kEmpty : it->second;
}

void HeadlessView::DeleteAllRows() {
  rows_.clear();
  selectionMark_ = -1;
}

void HeadlessView::SetAllRows(RowList rows) {
  rows_ = std::move(rows);
  selectionMark_ = -1;
}

void HeadlessView::SetRowText(int row, const std::string& text) {
  if (row >= 0 && static_cast<size_t>(row) < rows_.size()) rows_.Set(static_cast<size_t>(row), text);
}

void HeadlessView::ShowMessage(const std::string& text, const std::string& caption, MessageIcon) {
  messages_.push_back({text, caption});
  if (messageStream_) {
    std::fputs(text.c_str(), messageStream_);
    std::fputc('\n', messageStream_);
    std::fflush(messageStream_);
  }
}

void HeadlessView::RunDetailsWindow(const DetailsRequest& request) {
  // The request points into the window's state, which is only certain while the dialog runs.
  detailsPage_ = ShowDetailsPage(request, detailsTab_);
}

}  // namespace lettermoor::cli
