#include "ui/pages/SortPage.h"

#include "filelist/Prepare.h"
#include "naming/PlaceholderTable.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/IconCombo.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <array>

namespace {

// The keys in value order (SortKey): a key names a property, or a file date (DateSource).
struct KeyRow {
  SortKey Key;
  int Image;
  LanguageEntry Caption;  // for a file date: the word "date"
  int FileDate = -1;      // kDateSourceTaken: the date taken, a caption of its own
};

constexpr std::array<KeyRow, 8> kKeys = {{
    {kSortRandom, kImageSortRandom, kTextWordRandomOrder},
    {kSortName, kImageSortName, kTextWordName},
    {kSortPath, kImageSortName, kTextWordPath},
    {kSortSize, kImageSortSize, kTextWordSize},
    {kSortLastAccess, kImageSortDate, kTextWordDate, kDateLastAccess},
    {kSortModified, kImageSortDate, kTextWordDate, kDateModified},
    {kSortCreated, kImageSortDate, kTextWordDate, kDateCreated},
    {kSortDateTaken, kImageSortDate, kTextWordDate, kDateSourceTaken},
}};

// The combo's index is the stored key.
constexpr bool KeysInOrder() {
  for (size_t i = 0; i < kKeys.size(); ++i)
    if (kKeys[i].Key != static_cast<int>(i)) return false;
  return true;
}
static_assert(KeysInOrder(), "the sort keys are out of order");

QString KeyCaption(const KeyRow& row) {
  if (row.FileDate == kDateSourceTaken) return AdditionText(kAddDateSourceTaken);
  const QString caption = Caption(row.Caption);
  return row.FileDate >= 0 ? caption + QStringLiteral(": ") + FileDateCaption(row.FileDate)
                           : caption;
}

}  // namespace

void SortPage::BuildControls(QVBoxLayout* layout) {
  active_ = NewSwitch(Caption(kTextSortSwitch));
  layout->addWidget(active_);
  layout->addSpacing(4);
  key_ = new QComboBox;
  for (const KeyRow& key : kKeys) key_->addItem(StoreIcon(key.Image), KeyCaption(key));
  key_->setAccessibleName(Caption(kTextPageSortOrder));
  FitDropDown(key_);
  layout->addWidget(key_);
  layout->addSpacing(20);

  direction_ = new QComboBox;
  direction_->addItem(StoreIcon(kImageDescending), Caption(kTextSortDescending));
  direction_->addItem(StoreIcon(kImageAscending), Caption(kTextSortAscending));
  direction_->setAccessibleName(Caption(kTextSortDirection));
  FitDropDown(direction_);
  auto* directionLabel = NewRightLabel(WithColon(kTextSortDirection), direction_);
  auto* row = NewRowLayout();
  row->addWidget(directionLabel, 140);
  row->addWidget(direction_, 195);
  layout->addLayout(row);
  layout->addStretch(1);

  connect(key_, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabling(); });

  using C = Control;
  Register(C::SortKey, key_);
  Register(C::SortDirectionLabel, directionLabel);
  Register(C::SortDirection, direction_);
}

void SortPage::FillControls(const Preset& s) {
  active_->setChecked(s.SortActive != 0);
  key_->setCurrentIndex(s.SortKey);
  direction_->setCurrentIndex(s.SortDirection);
}

void SortPage::Store(Preset& s) const {
  s.SortActive = active_->isChecked() ? 1 : 0;
  s.SortKey = static_cast<int8_t>(key_->currentIndex());
  s.SortDirection = static_cast<int8_t>(direction_->currentIndex());
}
