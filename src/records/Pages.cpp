#include "records/Pages.h"

#include "texts/TextTables.h"

QString PageText::Text() const {
  return Addition ? AdditionText(Entry) : LanguageText(Entry);
}

bool PageSwitchedOn(int page, const Preset& settings) {
  const PageRow* row = FindPage(page);
  if (row == nullptr) return false;
  for (int8_t Preset::*field : row->Switches)
    if (field != nullptr && settings.*field != 0) return true;
  return false;
}

QString PageCaption(int page) {
  const PageRow* row = FindPage(page);
  return row != nullptr ? row->Caption.Text() : QString();
}

QString PageDescription(int page) {
  const PageRow* row = FindPage(page);
  return row != nullptr ? row->Description.Text() : QString();
}

int PageCaptionEntry(int page) {
  const PageRow* row = FindPage(page);
  return row != nullptr && !row->Caption.Addition ? row->Caption.Entry : -1;
}
