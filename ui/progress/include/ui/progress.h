// A numeric slide control turned into a progress bar with milestones, a
// label line and learned timing. A background tick moves the bar between
// reported milestones at the pace earlier runs have shown.
#ifndef CORVIN_PROGRESS_H
#define CORVIN_PROGRESS_H

enum ProgressAttr {
    PROGRESS_ATTR_UPDATE_MODE = 1, // 1 manual, 2 automatic, 3 indeterminate
    PROGRESS_ATTR_FILL_COLOR = 2,
    PROGRESS_ATTR_ERROR_COLOR = 3,
    PROGRESS_ATTR_REVERSED = 4,
    PROGRESS_ATTR_LEARNING = 5,
    PROGRESS_ATTR_REPOSITION_MODE = 6,
    PROGRESS_ATTR_INDETERMINATE_SPEED = 7,
    PROGRESS_ATTR_TASKBAR = 8,
};

// Results of the operations besides 0 (codes of the toolkit calls are passed
// on as they come).
enum ProgressResult {
    PROGRESS_ERR_NOT_SLIDE = -10, // MakeProgressBar on a control that is no numeric slide
    PROGRESS_ERR_NO_MEMORY = -12,
    PROGRESS_ERR_NO_BAR_YET = -13, // no bar has been made in this process
    PROGRESS_ERR_PERCENTAGE = -14, // out of range, or a milestone that already exists
    PROGRESS_ERR_ATTRIBUTE = -46,  // attribute number outside 1..8
    PROGRESS_ERR_NULL_POINTER = -65,
    PROGRESS_ERR_VALUE = -90,       // attribute value out of range
    PROGRESS_ERR_RUNNING = -5050,   // AddProgressMilestone while running or paused
    PROGRESS_ERR_NOT_A_BAR = -5051, // the control carries no progress-bar state
    PROGRESS_ERR_TIMER = -5095,     // tick timer could not be created or discarded
};

// The control's callback receives this event (eventData1 = milestone number
// 1.., or 0 for the end of the run) once when the bar has caught up with a
// milestone that has not been reported yet. It runs on the GUI thread.
enum { PROGRESS_EVENT_OVERDUE = 3500 };

int MakeProgressBar(int panel, int control);
int RevertProgressBar(int panel, int control);
int ClearProgressMilestones(int panel, int control);
int SetProgressAttribute(int panel, int control, int attribute, double value);
int GetProgressAttribute(int panel, int control, int attribute, double *value);
// Percentages ended by 0.0.
int SetProgressMilestones(int panel, int control, const double *percentages);
int AddProgressMilestone(int panel, int control, double percentage);
int SetProgressPercentage(int panel, int control, double percentage, const char *text);
int StartProgress(int panel, int control, const char *text);
int AdvanceProgress(int panel, int control, const char *text);
int EndProgress(int panel, int control, double *duration, const char *text);

#endif
