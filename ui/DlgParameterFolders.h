// The folder pages of the tree: a note how to add elements; the scenes folder also binds the ack of
// the scene state.
#pragma once

#include "ui/ParameterDialog.h"

// A folder page shows "%s %s" of its two texts by number.
class CDlgParameterFolder : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterFolder(int templateId, IMainWindow& main, UniqueNr firstText, UniqueNr secondText);

protected:
    bool OnInitDialog() override;

private:
    UniqueNr m_nFirstText;
    UniqueNr m_nSecondText;
};

class CDlgParameterFolderGroups final : public CDlgParameterFolder
{
    Q_OBJECT

public:
    explicit CDlgParameterFolderGroups(IMainWindow& main) : CDlgParameterFolder(217, main, 952, 953) {}
};

class CDlgParameterFolderSingles final : public CDlgParameterFolder
{
    Q_OBJECT

public:
    explicit CDlgParameterFolderSingles(IMainWindow& main) : CDlgParameterFolder(217, main, 958, 959) {}
};

class CDlgParameterFolderScenes final : public CDlgParameterFolder
{
    Q_OBJECT

public:
    explicit CDlgParameterFolderScenes(IMainWindow& main);
};

class CDlgParameterFolderEffects final : public CDlgParameterFolder
{
    Q_OBJECT

public:
    explicit CDlgParameterFolderEffects(IMainWindow& main) : CDlgParameterFolder(260, main, 963, 964) {}
};

// The members folder of a group: the page does not need the group.
class CDlgParameterGroupMembers final : public CDlgParameterFolder
{
    Q_OBJECT

public:
    CDlgParameterGroupMembers(IMainWindow& main, int groupNr)
        : CDlgParameterFolder(217, main, 958, 959), m_nGroupNr(groupNr)
    {}
    int GroupNr() const { return m_nGroupNr; }

private:
    int m_nGroupNr;
};
