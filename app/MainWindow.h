#pragma once
// The main window: its form, its initial state and the handlers of its buttons.

#include "app/runtime/Form.h"

const FormDef& MainWindowForm();
std::vector<EventBinding> MainWindowEvents();

void OnMainWindowCreated();
void OnBrowseClicked();
void OnStartClicked();

// The body of OnBrowseClicked: lets the user pick the folder pictures are saved into.
void ChooseSaveFolder();

void SetStartButtonDisabled(bool flag);
