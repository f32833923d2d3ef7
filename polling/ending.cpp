#include "polling/ending.h"

namespace tallivo {

int ExitStatus(Ending ending) {
    switch (ending) {
        case Ending::Done:
        case Ending::NoData:
            return 0;
        case Ending::Cancelled:
            return 2;
        case Ending::OverwriteRefused:
            return 3;
        case Ending::OutputFolderMissing:
            return 4;
        case Ending::BadCharacterSetting:
            return 5;
        case Ending::NoDataFile:
            return 6;
        case Ending::DataFileUnreadable:
            return 7;
        case Ending::RenameFailed:
            return 8;
        case Ending::OutputBusy:
            return 9;
        case Ending::OutputFailed:
            return 10;
        case Ending::RecordsNotWritten:
            return 11;
        case Ending::WorkFileUnreadable:
            return 12;
        case Ending::LeftoverInTheWay:
            return 13;
        case Ending::LinkRefused:
            return 14;
        case Ending::MarkerNotCreated:
            return 15;
        case Ending::LineTooLong:
            return 16;
        case Ending::HandOverName:
            return 17;
    }
    return 1;
}

const char* EndingName(Ending ending) {
    switch (ending) {
        case Ending::Done:
            return "Done";
        case Ending::NoData:
            return "NoData";
        case Ending::Cancelled:
            return "Cancelled";
        case Ending::OverwriteRefused:
            return "OverwriteRefused";
        case Ending::OutputFolderMissing:
            return "OutputFolderMissing";
        case Ending::BadCharacterSetting:
            return "BadCharacterSetting";
        case Ending::NoDataFile:
            return "NoDataFile";
        case Ending::DataFileUnreadable:
            return "DataFileUnreadable";
        case Ending::RenameFailed:
            return "RenameFailed";
        case Ending::OutputBusy:
            return "OutputBusy";
        case Ending::OutputFailed:
            return "OutputFailed";
        case Ending::RecordsNotWritten:
            return "RecordsNotWritten";
        case Ending::WorkFileUnreadable:
            return "WorkFileUnreadable";
        case Ending::LeftoverInTheWay:
            return "LeftoverInTheWay";
        case Ending::LinkRefused:
            return "LinkRefused";
        case Ending::MarkerNotCreated:
            return "MarkerNotCreated";
        case Ending::LineTooLong:
            return "LineTooLong";
        case Ending::HandOverName:
            return "HandOverName";
    }
    return "?";
}

}  // namespace tallivo
