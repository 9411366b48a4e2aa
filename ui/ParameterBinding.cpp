// The generic half of CParameterDialog: binding a page's table to its controls and applying changes.
#include "model/EtsDbManagement.h"
#include "trace/DebugTrace.h"
#include "ui/ParameterDialog.h"

#include <QKeyEvent>
#include <algorithm>
#include <cstring>

namespace {

bool Holds(const RuleTerm& term, std::int32_t value)
{
    switch (term.op) {
    case RuleOp::NotZero:
        return value != 0;
    case RuleOp::Zero:
        return value == 0;
    case RuleOp::Equal:
        return value == term.value;
    case RuleOp::NotEqual:
        return value != term.value;
    case RuleOp::OneOf:
        return value >= 0 && value < 32 && (static_cast<std::uint32_t>(term.value) >> value & 1U) != 0;
    }
    return false;
}

} // namespace

void CParameterDialog::SetBindingTable(const BindingTable& table, int groupNr)
{
    m_pTable = &table;
    m_nBindGroupNr = groupNr;
    m_bound.clear();
    m_bound.reserve(table.rows.size());
    for (const Binding& row : table.rows) {
        BoundControl b;
        b.row = &row;
        const UniqueNr numbers[3] = {row.kind == BindKind::Time ? row.hours : row.number,
                                     row.kind == BindKind::Time ? row.minutes : 0,
                                     row.kind == BindKind::Time ? row.number : 0};
        for (int f = 0; f < 3; ++f)
            b.numbers[f] = ResolveNumber(row, numbers[f]);
        if (row.kind == BindKind::Time)
            b.values[1] = row.start;
        else
            b.values[0] = row.start;
        m_bound.push_back(b);
    }
}

UniqueNr CParameterDialog::ResolveNumber(const Binding& row, UniqueNr number) const
{
    if (number <= 0 || !(row.flags & BindGroup))
        return number;
    return GetGroupUniqueNr(number, m_nBindGroupNr);
}

CParameterDialog::BoundControl* CParameterDialog::FindBound(int idc)
{
    for (BoundControl& b : m_bound)
        if (b.row->idc == idc)
            return &b;
    return nullptr;
}

const CParameterDialog::BoundControl* CParameterDialog::FindBound(int idc) const
{
    return const_cast<CParameterDialog*>(this)->FindBound(idc);
}

std::int32_t& CParameterDialog::BoundRef(int idc, int field)
{
    static std::int32_t none = 0;
    BoundControl* b = FindBound(idc);
    if (!b) {
        TRACE_MSG(TRACE_ERROR, "IDC = %d is not bound", idc);
        none = 0;
        return none;
    }
    return b->values[b->row->kind == BindKind::Time ? std::clamp(field, 0, 2) : 0];
}

std::int32_t CParameterDialog::BoundValue(int idc) const
{
    const BoundControl* b = FindBound(idc);
    return b ? b->values[0] : 0;
}

UniqueNr CParameterDialog::BoundNumber(int idc, int field) const
{
    const BoundControl* b = FindBound(idc);
    return b ? b->numbers[std::clamp(field, 0, 2)] : 0;
}

void CParameterDialog::InitBindings()
{
    for (BoundControl& b : m_bound)
        if (!(b.row->flags & BindDeferred))
            InitBound(b);
}

void CParameterDialog::BindControl(int idc)
{
    if (BoundControl* b = FindBound(idc))
        InitBound(*b);
}

void CParameterDialog::RebindControl(int idc, UniqueNr hours, UniqueNr minutes, UniqueNr seconds)
{
    BoundControl* b = FindBound(idc);
    if (!b)
        return;
    if (b->row->kind == BindKind::Time) {
        b->numbers[0] = ResolveNumber(*b->row, hours);
        b->numbers[1] = ResolveNumber(*b->row, minutes);
        b->numbers[2] = ResolveNumber(*b->row, seconds);
    } else {
        b->numbers[0] = ResolveNumber(*b->row, seconds);
    }
    InitBound(*b);
}

void CParameterDialog::InitBound(BoundControl& b)
{
    const Binding& row = *b.row;
    CEtsDbManagement& model = Model();
    switch (row.kind) {
    case BindKind::Combo: {
        std::int32_t minimum = row.minimum, maximum = row.maximum;
        if (row.flags & BindLightnessWindow) {
            minimum = model.GetParameterLong(GetGroupUniqueNr(102, m_nBindGroupNr), 0);
            maximum = model.GetParameterLong(GetGroupUniqueNr(103, m_nBindGroupNr), row.maximum);
        }
        InitComboBox(row.idc, row.labelIdc, b.numbers[0], &b.values[0], minimum, maximum);
        break;
    }
    case BindKind::Time:
        InitTimePicker(row.idc, row.labelIdc, QString::fromLatin1(row.format ? row.format : kHms),
                       b.numbers[0], b.numbers[1], b.numbers[2], &b.values[0], &b.values[1], &b.values[2],
                       &b.minimum, &b.maximum);
        break;
    case BindKind::Number:
        InitNumberBox(row.idc, row.labelIdc, b.numbers[0], &b.values[0]);
        break;
    case BindKind::Text: {
        if (row.labelIdc)
            SetLabelText(row.labelIdc, b.numbers[0]);
        std::string text;
        if (b.numbers[0] > 0 && SUCCEEDED(model.GetParameterValue(b.numbers[0], text)))
            b.text = QString::fromStdString(text);
        SetDlgItemText(row.idc, b.text);
        break;
    }
    }
    if (row.flags & BindDisabled)
        EnableControl(row.idc, false);
    if (row.hintIdc && row.hintText) {
        QString hint;
        if (GetTextByNumber(row.hintText, hint))
            SetDlgItemText(row.hintIdc, hint);
    }
    b.bound = true;
}

void CParameterDialog::SetBoundValue(int idc, std::int32_t value)
{
    BoundControl* b = FindBound(idc);
    if (!b)
        return;
    SelectComboboxEnumValue(idc, b->numbers[0], &b->values[0], value);
    if (b->row->flags & BindBuffered)
        Model().SetDeviceContext(b->numbers[0], value);
}

void CParameterDialog::SetBoundValueIfDifferent(int idc, std::int32_t value)
{
    if (const BoundControl* b = FindBound(idc); b && b->values[0] != value)
        SetBoundValue(idc, value);
}

void CParameterDialog::RestoreBoundValue(int idc)
{
    if (const BoundControl* b = FindBound(idc))
        SelectComboboxEnumValue(idc, b->values[0]);
}

bool CParameterDialog::IsRuleOn(const ShowRule& rule) const
{
    for (const RuleTerm& term : rule.terms)
        if (!Holds(term, term.parameter ? Model().GetParameterLong(term.idc, 0) : BoundValue(term.idc)))
            return false;
    return true;
}

void CParameterDialog::ApplyRules()
{
    if (!m_pTable)
        return;
    for (const ShowRule& rule : m_pTable->rules) {
        const bool on = IsRuleOn(rule);
        for (int idc : rule.controls) {
            if (rule.action == ShowRule::Show)
                ShowControl(idc, on);
            else
                EnableControl(idc, on);
        }
    }
}

void CParameterDialog::ApplyRule(const char* name)
{
    if (!m_pTable)
        return;
    for (const ShowRule& rule : m_pTable->rules) {
        if (std::strcmp(rule.name, name) != 0)
            continue;
        const bool on = IsRuleOn(rule);
        for (int idc : rule.controls)
            rule.action == ShowRule::Show ? ShowControl(idc, on) : EnableControl(idc, on);
    }
}

bool CParameterDialog::BoundComboboxChanged(int idc)
{
    BoundControl* b = FindBound(idc);
    if (!b || !b->bound || b->row->kind != BindKind::Combo)
        return false;
    return ComboboxChanged(idc, b->numbers[0], &b->values[0], (b->row->flags & BindCheck) != 0);
}

void CParameterDialog::AfterBoundChange(int idc)
{
    const BoundControl* b = FindBound(idc);
    if (b && (b->row->flags & BindBuffered))
        Model().SetDeviceContext(b->numbers[0], b->values[0]);
    OnBindingChanged(idc);
    ApplyRules();
}

void CParameterDialog::OnSelChange(int idc)
{
    const BoundControl* b = FindBound(idc);
    if (!b || (b->row->flags & BindCustom))
        return;
    if (BoundComboboxChanged(idc))
        AfterBoundChange(idc);
}

void CParameterDialog::OnKillFocus(int idc)
{
    BoundControl* b = FindBound(idc);
    if (!b || !b->bound || (b->row->flags & BindCustom))
        return;
    bool changed = false;
    switch (b->row->kind) {
    case BindKind::Time:
        changed = TimePickerChanged(idc, b->numbers[0], b->numbers[1], b->numbers[2], &b->values[0],
                                    &b->values[1], &b->values[2]);
        break;
    case BindKind::Number:
        changed = NumberBoxChanged(idc, b->numbers[0], &b->values[0], b->row->minimum, b->row->maximum);
        break;
    case BindKind::Text:
        changed = EditBoxChanged(idc, b->numbers[0], b->text);
        break;
    case BindKind::Combo:
        break;
    }
    if (changed)
        AfterBoundChange(idc);
}

void CParameterDialog::OnDateTimeChange(int idc)
{
    const BoundControl* b = FindBound(idc);
    if (b && b->row->kind == BindKind::Time && b->row->limit >= 0)
        LimitTimePickerValue(idc, b->minimum, b->maximum, b->row->limit);
}

bool CParameterDialog::PreTranslateMessage(const QKeyEvent& key)
{
    for (const BoundControl& b : m_bound)
        if (b.row->kind == BindKind::Number && (b.row->flags & BindStepping) &&
            TranslateNumberBoxMessage(key, b.row->idc, b.row->minimum, b.row->maximum))
            return true;
    return false;
}
