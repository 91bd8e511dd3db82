#include "fileops/TargetBuilder.h"

#include "naming/Transform.h"
#include "platform/FileName.h"

namespace {

const QString kNamePlaceholder = QStringLiteral("%FN%");

// One allocation of the right size: the run joins a path for every file.
QString JoinPath(const QString& directory, const QString& name, const QString& extension) {
  QString path;
  path.reserve(directory.size() + name.size() + (extension.isEmpty() ? 0 : extension.size() + 1));
  path += directory;
  path += name;
  if (!extension.isEmpty()) {
    path += QLatin1Char('.');
    path += extension;
  }
  return path;
}

// The name after the transformations the settings switch on, in their fixed order. The rules
// see the composed form, so that a name written decomposed (as macOS writes "é") meets the same
// rules; the result goes back to the source's form only when the task keeps it.
QString TransformedName(const FileEntry& entry, const Preset& settings, const TargetPlan& plan,
                        bool& gaveUp) {
  const QString name = entry.Name();
  const QString composed = name.normalized(QString::NormalizationForm_C);
  QString result = composed;
  if (settings.RemoveActive)
    result = RemoveCharacters(result, settings.RemovePosition, settings.RemoveCount,
                              settings.RemoveFromEnd != 0);
  if (settings.InsertActive)
    result = InsertIntoName(result, settings.InsertText, settings.InsertPosition,
                            settings.InsertFromEnd != 0);
  if (settings.CaseActive) result = ChangeCase(result, settings.CaseMode);
  if (settings.ReplaceActive && plan.Rules != nullptr) {
    // A regular expression's replacement has its placeholders expanded before its groups are
    // filled in; "%FN%" is left out, as in every replacement.
    const NameRules::Result replaced =
        plan.Rules->ApplyReplacements(result, [&](const QString& literal) {
          return ExpandFilePlaceholders(NormalizePlaceholderCase(literal).remove(kNamePlaceholder),
                                        entry, settings.DatePlaceholderSource,
                                        settings.NoLeadingZeros != 0);
        });
    if (replaced.GaveUp()) gaveUp = true;
    result = replaced.Text;
  }
  if (plan.Rules != nullptr) result = plan.Rules->Transliterate(result);
  if (plan.KeepNameForm && composed != name)
    result = result.normalized(QString::NormalizationForm_D);
  // The transformed name stands in for "%FN%" in the templates, so it must not hold the
  // placeholder itself.
  return NormalizePlaceholderCase(result).remove(kNamePlaceholder);
}

bool IsDotName(QStringView name) {
  return name.isEmpty() || name == u"." || name == u"..";
}

// Folder names that came from the file's data: every component of the expanded folder whose
// template component held a placeholder. Expanded values never hold a "/", so both split into
// the same number of components; a different count means one did, which is refused as well.
bool DataFoldersValid(const QString& templateDir, const QString& expandedDir) {
  const QList<QStringView> templateParts = QStringView(templateDir).split(QLatin1Char('/'));
  const QList<QStringView> expandedParts = QStringView(expandedDir).split(QLatin1Char('/'));
  if (templateParts.size() != expandedParts.size()) return false;
  for (qsizetype i = 0; i < templateParts.size(); ++i) {
    if (templateParts[i].contains(QLatin1Char('%')) && IsDotName(expandedParts[i])) return false;
  }
  return true;
}

// The new file name: its base name must not be empty (".txt" would hide "report.txt"), and
// neither it nor a folder part of a name template may be "." or ".."; the name must fit the
// file system. UTF-8 takes at most three bytes per UTF-16 unit, so only long names are encoded.
bool FileNameValid(const QString& name, const QString& extension) {
  if (name.isEmpty()) return false;
  const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
  if (slash >= 0) {
    for (const QStringView part : QStringView(name).left(slash).split(QLatin1Char('/')))
      if (IsDotName(part)) return false;
    if (slash == name.size() - 1) return false;
  }
  const QStringView base = QStringView(name).mid(slash + 1);
  const qsizetype units = base.size() + (extension.isEmpty() ? 0 : extension.size() + 1);
  if (extension.isEmpty() && IsDotName(base)) return false;
  if (units * 3 > kMaxFileNameBytes) {
    QString fileName = base.toString();
    if (!extension.isEmpty()) fileName += QLatin1Char('.') + extension;
    if (EncodeFileName(fileName).size() > kMaxFileNameBytes) return false;
  }
  return true;
}

}  // namespace

TargetPlan PlanTargets(const Preset& settings, const QString& preparedNameTemplate,
                       const QString& preparedTargetDir, bool targetRelativeToSource,
                       const QString& commonBase) {
  TargetPlan plan;
  plan.TransformName = settings.RemoveActive || settings.InsertActive || settings.CaseActive ||
                       settings.ReplaceActive || settings.TransliterateToAscii;
  plan.KeepNameForm = settings.KeepNameForm != 0;
  if (settings.ReplaceActive || settings.ExtRulesActive || settings.TransliterateToAscii)
    plan.Rules = std::make_shared<const NameRules>(
        settings.ReplaceActive ? settings.TextReplacements : QList<TextReplacement>(),
        settings.ExtRulesActive ? settings.ExtensionCorrections : QList<ExtensionCorrection>(),
        settings.TransliterateToAscii != 0);
  plan.NameBuildingActive = settings.NameTemplateActive || plan.TransformName;
  if (plan.NameBuildingActive) {
    QString nameTemplate = preparedNameTemplate;
    if (nameTemplate.isEmpty()) nameTemplate = kNamePlaceholder;
    // A "\" in a template separates folders, as "/" does.
    nameTemplate.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const PreparedCounter counter = PrepareCounter(nameTemplate);
    plan.NameTemplate = counter.Template;
    plan.CounterStart = counter.Start;
    plan.CounterWidth = counter.Width;
  }
  plan.TargetDirActive = settings.TargetDirActive != 0;
  if (plan.TargetDirActive) {
    plan.TargetDir = preparedTargetDir;
    plan.TargetDir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    plan.TargetRelativeToSource = targetRelativeToSource;
    plan.CommonBase = commonBase;
    plan.TargetDirFromData = plan.TargetDir.contains(QLatin1Char('%'));
  }
  return plan;
}

QString TargetExtension(const QString& fileName) {
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? fileName.mid(dot + 1) : QString();
}

Target BuildTarget(const FileEntry& entry, const Preset& settings, const TargetPlan& plan,
                   CounterMap& counters, const PathTaken& taken) {
  Target target;
  QString directory = plan.TargetDirActive ? plan.TargetDir : entry.Directory();
  target.Extension = TargetExtension(entry.PathAfterDirectory());
  QString name = plan.NameBuildingActive ? plan.NameTemplate : entry.Name();

  if (plan.TransformName) {
    const QString transformed = TransformedName(entry, settings, plan, target.MatchGaveUp);
    if (plan.TargetDirActive) directory.replace(kNamePlaceholder, transformed);
    name.replace(kNamePlaceholder, transformed);
  }

  if (plan.TargetDirActive) {
    directory = RestoreDataPercent(ExpandFilePlaceholders(
        directory, entry, settings.DatePlaceholderSource, settings.NoLeadingZeros != 0));
    if (plan.TargetDirFromData && !DataFoldersValid(plan.TargetDir, directory))
      target.InvalidName = true;
    if (plan.TargetRelativeToSource) {
      // The folder is relative to the file's own; "%PF%" alone resolves to "/".
      while (directory.startsWith(QLatin1Char('/'))) directory.remove(0, 1);
      directory.prepend(entry.Directory());
    }
    if (!plan.CommonBase.isEmpty() && entry.Directory().startsWith(plan.CommonBase))
      directory += entry.Directory().mid(plan.CommonBase.size());
    if (!directory.isEmpty() && !directory.endsWith(QLatin1Char('/')))
      directory += QLatin1Char('/');
    target.CreateDirectory = true;
  }

  if (settings.ExtCaseActive)
    target.Extension = settings.ExtCaseMode == 0 ? LowerCaseUnits(target.Extension)
                                                 : UpperCaseUnits(target.Extension);
  if (settings.ExtRulesActive && plan.Rules != nullptr) {
    const NameRules::Result corrected = plan.Rules->ApplyExtensionCorrections(target.Extension);
    if (corrected.GaveUp()) target.MatchGaveUp = true;
    target.Extension = corrected.Text;
  }

  if (plan.NameBuildingActive) {
    name = RestoreDataPercent(ExpandFilePlaceholders(name, entry, settings.DatePlaceholderSource,
                                                     settings.NoLeadingZeros != 0));
    if (!plan.KeepNameForm) name = name.normalized(QString::NormalizationForm_C);
    // A name without the counter's marker takes no number: the counter's bookkeeping (a key
    // per folder, a note for the rewind) is spared for every file of such a task.
    if (name.contains(kCounterMarker)) {
      target.Counter = counters.Number(directory, name, target.Extension, taken);
      if (target.Counter.Number != -1) name = target.Counter.Name;
    }
  }
  if (!FileNameValid(name, target.Extension)) target.InvalidName = true;
  // A rule or a template must not hide a visible file: "x.txt" with "x" -> "." would become
  // "..txt". A name that was hidden already may stay so.
  if (QStringView(name).mid(name.lastIndexOf(QLatin1Char('/')) + 1).startsWith(QLatin1Char('.')) &&
      !QStringView(entry.PathAfterDirectory()).startsWith(QLatin1Char('.')))
    target.InvalidName = true;

  target.Directory = directory;
  target.Name = name;
  target.Path = JoinPath(directory, name, target.Extension);
  return target;
}
