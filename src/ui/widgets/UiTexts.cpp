#include "ui/widgets/UiTexts.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"

QString Caption(int entry) {
  return LanguageText(entry);
}

QString WithoutMnemonics(QString text) {
  // "&&" stands for a literal "&" in a caption; keep one of them.
  QString result;
  result.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        result += u'&';
        ++i;
      }
      continue;
    }
    result += text[i];
  }
  return result;
}

QString PlainCaption(int entry) {
  return WithoutMnemonics(LanguageText(entry));
}

QString CtrlKeyText(const QString& key) {
  return LanguageText(kTextKeyCtrl) + u'+' + key;
}
