#include "ScriptActions.h"

#include <algorithm>

#include "resources/ControlIds.h"
#include "ui/Dialog.h"
#include "ui/Host.h"

namespace kelp::ui {
namespace {

struct Found {
  Dialog* dialog = nullptr;
  const ControlState* control = nullptr;
  std::string reason;
};

Found Resolve(Host& host, const ScriptTarget& target) {
  Found f;
  f.dialog = target.templateId != 0 ? host.FindShown(target.templateId) : host.Foreground();
  if (f.dialog == nullptr) {
    f.reason = target.templateId != 0 ? "dialog " + std::to_string(target.templateId) + " is not shown"
                                      : "no dialog is shown";
    return f;
  }
  if (target.byCaption) {
    const auto& controls = f.dialog->Controls();
    const auto it = std::find_if(controls.begin(), controls.end(), [&](const ControlState& c) {
      return c.visible && c.text == target.caption;
    });
    if (it != controls.end()) f.control = &*it;
  } else {
    f.control = f.dialog->FindControlState(target.controlId);
  }
  if (f.control == nullptr) f.reason = "target " + target.spelling + " not found";
  return f;
}

// The target found, visible and enabled.
Found Usable(Host& host, const ScriptTarget& target) {
  Found f = Resolve(host, target);
  if (f.control == nullptr) return f;
  if (!f.control->visible) f.reason = "target " + target.spelling + " is hidden";
  else if (!f.control->enabled) f.reason = "target " + target.spelling + " is disabled";
  return f;
}

// The rows of the foreground dialog's visible, enabled list views that match.
struct RowHit {
  int listId;
  int row;
};
std::vector<RowHit> MatchingRows(Dialog& dialog, const std::regex& regex) {
  std::vector<RowHit> hits;
  for (const ControlState& c : dialog.Controls()) {
    if (c.tmpl->kind != res::ControlKind::ListView || !c.visible || !c.enabled) continue;
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      if (std::regex_search(RowText(c.rows[i]), regex)) hits.push_back({c.tmpl->id, static_cast<int>(i)});
    }
  }
  return hits;
}

Probe ControlAction(Host& host, ScriptTarget target, std::function<void(Dialog&, const ControlState&)> act) {
  return [&host, target = std::move(target), act = std::move(act)]() -> ProbeResult {
    const Found f = Usable(host, target);
    if (!f.reason.empty()) return {f.reason, {}};
    Dialog* dialog = f.dialog;
    const int id = f.control->tmpl->id;
    return {"", [dialog, id, act] {
              if (const ControlState* c = dialog->FindControlState(id)) act(*dialog, *c);
            }};
  };
}

Probe RowAction(Host& host, const ScriptCommand& command) {
  return [&host, regex = command.regex, spelling = command.text, verb = command.verb,
          checked = command.flag != 0]() -> ProbeResult {
    Dialog* dialog = host.Foreground();
    if (dialog == nullptr) return {"no dialog is shown", {}};
    const std::vector<RowHit> hits = MatchingRows(*dialog, regex);
    if (hits.empty()) return {"no row matches " + spelling, {}};
    if (verb == ScriptVerb::SelectRow) {
      return {"", [dialog, first = hits.front()] { dialog->UserSelectRow(first.listId, first.row); }};
    }
    return {"", [dialog, hits, checked] {
              for (const RowHit& h : hits) dialog->UserCheckRow(h.listId, h.row, checked);
            }};
  };
}

void SetCheckAsUser(Dialog& dialog, const ControlState& c, int flag) {
  if (c.check == flag) return;
  const bool clickable = c.tmpl->kind == res::ControlKind::CheckBox || flag == 1;
  if (clickable) dialog.Click(c.tmpl->id);
  else dialog.GetDlgItem(c.tmpl->id).SetCheck(flag);
}

}  // namespace

Probe MakeProbe(Host& host, const ScriptCommand& command) {
  switch (command.verb) {
    case ScriptVerb::Click:
      return ControlAction(host, command.target, [](Dialog& d, const ControlState& c) { d.Click(c.tmpl->id); });
    case ScriptVerb::DoubleClick:
      // The mouse's order: the first press clicks, the second double-clicks.
      return ControlAction(host, command.target, [](Dialog& d, const ControlState& c) {
        d.Click(c.tmpl->id);
        d.DoubleClick(c.tmpl->id);
      });
    case ScriptVerb::Close: {
      ScriptTarget close{res::kTemplateMain, res::kMainClose, false, "", "102:1081"};
      return ControlAction(host, close, [](Dialog& d, const ControlState& c) { d.Click(c.tmpl->id); });
    }
    case ScriptVerb::Set:
      return ControlAction(host, command.target, [text = command.text](Dialog& d, const ControlState& c) {
        d.UserSetText(c.tmpl->id, text);
      });
    case ScriptVerb::Check:
      return ControlAction(host, command.target, [flag = command.flag](Dialog& d, const ControlState& c) {
        SetCheckAsUser(d, c, flag);
      });
    case ScriptVerb::CheckRow:
    case ScriptVerb::SelectRow:
      return RowAction(host, command);
    case ScriptVerb::Key:
      return [&host, key = command.key]() -> ProbeResult {
        Dialog* dialog = host.Foreground();
        if (dialog == nullptr) return {"no dialog is shown", {}};
        return {"", [dialog, key] { dialog->Key(key); }};
      };
    case ScriptVerb::WaitText:
      return [&host, target = command.target, regex = command.regex, spelling = command.text]() -> ProbeResult {
        const Found f = Resolve(host, target);
        if (!f.reason.empty()) return {f.reason, {}};
        if (!std::regex_search(f.control->text, regex)) {
          return {"text of " + target.spelling + " is " + f.control->text + ", not matching " + spelling, {}};
        }
        return {};
      };
    case ScriptVerb::WaitIdle:
      return [&host]() -> ProbeResult { return {host.IsIdle() ? "" : "not idle", {}}; };
    case ScriptVerb::Screenshot:
      return [&host, path = command.text, templateId = command.target.templateId]() -> ProbeResult {
        Dialog* dialog = templateId != 0 ? host.FindShown(templateId) : host.Foreground();
        if (dialog == nullptr)
          return {templateId != 0 ? "dialog " + std::to_string(templateId) + " is not shown" : "no dialog is shown", {}};
        return {host.Screenshot(*dialog, path), {}};
      };
    default:
      return [] { return ProbeResult{"not a dialog command", {}}; };
  }
}

}  // namespace kelp::ui
