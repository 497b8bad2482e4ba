#include "ui/shared_texts.h"

#define KORMIT_CANNOT_UNPACK "解凍できません！\n"

const char kDialogCaption[] = "SelfUnpack - Kormit Ver 1.63";
const char kBoxCaption[] = "Self Unpack";
const char kCannotUnpackForInstall[] =
    KORMIT_CANNOT_UNPACK "管理者権限(administrator)を持ったユーザーで、ログオンして実行してください。";

// The request alone is the tail of the text above.
const char* NeedAdministratorText() { return kCannotUnpackForInstall + sizeof KORMIT_CANNOT_UNPACK - 1; }
