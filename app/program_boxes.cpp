#include "app/program_boxes.h"

#include "base/product.h"

void showAbout(HWND owner) {
    MessageBoxA(owner,
                PRODUCT_NAME
                "\nVersion : " PRODUCT_VERSION
                "\nStandalone Application\n\n"
                "Check Halvane Driver registration in different devices lists\n"
                "and check data consistency from different information sources\n\n"
                "See Test CONCLUSION at end of log...\n\n" PRODUCT_WEB_LINE,
                "About...", MB_ICONINFORMATION);
}

// The box's text area is 176 dialog units wide under Wine and at least that on Windows (the
// longest line up to 278 units from Vista on, 5/8 of the screen on XP): every line fits it, so
// that no line is broken, and each example of -o stands on a line of its own.
void showUsage() {
    MessageBoxA(NULL,
                "Usage: HalvaneDevicesChecker.exe\n"
                "\t[-h [-s]] [-o <report file>] [-?]\n"
                "\n"
                "-h\tRun one test without a window,\n"
                "\tthen exit.\n"
                "-s\tWith -h: show the window after\n"
                "\tthe test.\n"
                "-o\tWrite the log to the file named\n"
                "\tnext (UTF-8) after every test;\n"
                "\ta name ending in .json gets\n"
                "\tevery test as JSON.\n"
                "\tQuote a path with blanks, whole\n"
                "\tor in parts, with or without a\n"
                "\tblank after -o:\n"
                "\t\t-o \"C:\\My Reports\\r.txt\"\n"
                "\t\t\"-o\" \"C:\\r.txt\"\n"
                "\t\t-oC:\\r.txt\n"
                "\tNothing in the path is a switch.\n"
                "\tIt may start with slashes\n"
                "\t\t-o //server/share/r.txt\n"
                "\tbut with a dash only in quotes.\n"
                "-fix\tWith -h: fix what it safely\n"
                "\tcan, then test again; the exit\n"
                "\tcode is the errors left. Needs\n"
                "\tan administrator.\n"
                "-?\tShow this help (not with -h,\n"
                "\twhich never shows a window).\n"
                "\n"
                "Each switch may start with / too\n"
                "(/h /s /o /fix /?), in any letter\n"
                "case.\n"
                "\n"
                "File > Save Report As... (Ctrl+S)\n"
                "writes the log to a file of your\n"
                "choice; File > Copy Report puts it\n"
                "on the clipboard. File > What To\n"
                "Do (F1) says why a test found\n"
                "errors and how to fix them; File\n"
                "> Fix Problems... (Ctrl+F) makes\n"
                "the safe fixes, after asking.\n"
                "\n"
                "Exit code: the error total of the\n"
                "last test; -1 when no test ran; -2\n"
                "when -h could not write the file.",
                PRODUCT_NAME, MB_ICONINFORMATION);
}

void showRegistryError(HWND owner) {
    MessageBoxA(owner,
                "Cannot write in registry...\nAdministrator mode is required\n\n"
                "Run this application in administrator mode...",
                "Error", MB_ICONERROR);
}
