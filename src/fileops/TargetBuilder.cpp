#include "fileops/TargetBuilder.h"

#include "naming/Transform.h"

namespace {

const QString kNamePlaceholder = QStringLiteral("%FN%");

QString JoinPath(const QString& directory, const QString& name, const QString& extension) {
  QString path = directory + name;
  if (!extension.isEmpty()) path += QLatin1Char('.') + extension;
  return path;
}

// The name after the transformations the settings switch on, in their fixed order.
QString TransformedName(const QString& name, const Preset& settings) {
  QString result = name;
  if (settings.RemoveActive)
    result = RemoveCharacters(result, settings.RemovePosition, settings.RemoveCount,
                              settings.RemoveFromEnd != 0);
  if (settings.InsertActive)
    result = InsertIntoName(result, settings.InsertText, settings.InsertPosition,
                            settings.InsertFromEnd != 0);
  if (settings.CaseActive) result = ChangeCase(result, settings.CaseMode);
  if (settings.ReplaceActive) result = ApplyReplacements(result, settings.TextReplacements);
  // The transformed name stands in for "%FN%" in the templates, so it must not hold the
  // placeholder itself.
  return NormalizePlaceholderCase(result).remove(kNamePlaceholder);
}

}  // namespace

TargetPlan PlanTargets(const Preset& settings, const QString& preparedNameTemplate,
                       const QString& preparedTargetDir, bool targetRelativeToSource,
                       const QString& commonBase) {
  TargetPlan plan;
  plan.TransformName = settings.RemoveActive || settings.InsertActive || settings.CaseActive ||
                       settings.ReplaceActive;
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
  }
  return plan;
}

QString TargetExtension(const QString& fileName) {
  const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? fileName.mid(dot + 1) : QString();
}

Target BuildTarget(const FileEntry& entry, const Preset& settings, const TargetPlan& plan,
                   CounterMap& counters) {
  Target target;
  QString directory = plan.TargetDirActive ? plan.TargetDir : entry.Directory;
  target.Extension = TargetExtension(entry.Path.mid(entry.Directory.size()));
  QString name = plan.NameBuildingActive ? plan.NameTemplate : entry.Name;

  if (plan.TransformName) {
    const QString transformed = TransformedName(entry.Name, settings);
    if (plan.TargetDirActive) directory.replace(kNamePlaceholder, transformed);
    name.replace(kNamePlaceholder, transformed);
  }

  if (plan.TargetDirActive) {
    directory = ExpandFilePlaceholders(directory, entry, settings.DatePlaceholderSource,
                                       settings.NoLeadingZeros != 0);
    if (plan.TargetRelativeToSource) {
      // The folder is relative to the file's own; "%PF%" alone resolves to "/".
      while (directory.startsWith(QLatin1Char('/'))) directory.remove(0, 1);
      directory.prepend(entry.Directory);
    }
    if (!plan.CommonBase.isEmpty() && entry.Directory.startsWith(plan.CommonBase))
      directory += entry.Directory.mid(plan.CommonBase.size());
    if (!directory.isEmpty() && !directory.endsWith(QLatin1Char('/')))
      directory += QLatin1Char('/');
    target.CreateDirectory = true;
  }

  if (settings.ExtCaseActive)
    target.Extension = settings.ExtCaseMode == 0 ? LowerCaseUnits(target.Extension)
                                                 : UpperCaseUnits(target.Extension);
  if (settings.ExtRulesActive)
    target.Extension = ApplyExtensionCorrections(target.Extension, settings.ExtensionCorrections);

  if (plan.NameBuildingActive) {
    name = ExpandFilePlaceholders(name, entry, settings.DatePlaceholderSource,
                                  settings.NoLeadingZeros != 0);
    target.Counter = counters.Number(directory, name, target.Extension);
    if (target.Counter.Number != -1) name = target.Counter.Name;
  }

  target.Directory = directory;
  target.Name = name;
  target.Path = JoinPath(directory, name, target.Extension);
  return target;
}
