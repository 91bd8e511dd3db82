#include "texts/ProductTitle.h"

#include "texts/TextLoader.h"
#include "texts/TextTables.h"

QString ProductTitle(bool withVersion, bool withSuffix, bool fileNameForm) {
  QString title = ProductTexts[fileNameForm ? kProductFileName : kProductName];
  if (withVersion) title += QLatin1Char(' ') + ProductTexts[kProductVersion];
  if (withSuffix) title += QLatin1String(" - ") + ProductTexts[kProductTitleSuffix];
  return title;
}
