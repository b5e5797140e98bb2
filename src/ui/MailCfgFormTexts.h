// The texts of the mail program configuration window and its messages,
// spelled exactly as the window shows them. Lines of the instruction pages
// are separated by line breaks.
#pragma once

namespace mailcfg_texts {

inline constexpr const char* kCaption = "Configure Email Program";

inline constexpr const char* kAccountsNote =
    "Above, you see your Outlook Express's email accounts. Just turn the checkboxes on for any of your email "
    "accounts to use this local SMTP server for them, or turn the checkboxes off if you want to restore your "
    "default SMTP settings.";

inline constexpr const char* kOutlookSteps =
    "Microsoft Outlook comes with Microsoft Office. To use this local SMTP server for your Microsoft "
    "Outlook's "
    "accounts you need to do the following:\n"
    "  \n"
    "  1. Open your Microsoft Outlook;\n"
    "  2. Use the Tool->Options item of the main menu to open the dialog box Options;\n"
    "  3. Select the Mail Setup tab, then click the Email Accounts button;\n"
    "  4. In the Email Accounts dialog select the View or Change Email Accounts then click Next;\n"
    "  5. Select an email account you want to configure in the account list and click Change;\n"
    "  6. Find the option Outgoing Mail Server (SMTP), and change it to localhost;\n"
    "  7. Click the button More Settings and select the Advanced tab;\n"
    "  8. Find the option Server Timeouts and increase it to the maximum value then click Ok;\n"
    "  9. Click the button Next in the Email Accounts dialog box then click Finish.\n"
    "  10. Click Ok in the dialog box Options to close it and apply settings.\n"
    "\n"
    "After that, all your outgoing mail sent from the account you modified will go through the local SMTP "
    "server.";

inline constexpr const char* kOtherProgramsSteps =
    "Most of email programs like Eudora, The Bat, Netscape, and so on have a dialog box Options, which lets "
    "you "
    "change options of your email accounts. Usually, you can access the options by using the following menu "
    "items: Tools->Options, Options->Settings, Options->Accounts, Settings->Accounts, Internet Accounts, "
    "Mail "
    "Accounts, Mail Settings, and so on.\n"
    "\n"
    "All you need to do to make your email program to send email messages through this local SMTP server is "
    "to "
    "find the dialog box with Outgoing Mail Server (SMTP) options and change your current SMTP server to "
    "localhost. You just need to find the editbox with your current SMTP server, and type in the word "
    "localhost. "
    "Then, if it is possible in your email program, you need to increase the timeout for Outgoing Mail "
    "Server "
    "(SMTP) to the maximum possible value to force your email program not to ask you to abort sending while "
    "sending large messages through this local SMTP server.\n"
    "\n"
    "Now, save the options and send mail.";

inline constexpr const char* kPortTestExplanation =
    "This program will only work if the standard SMTP port 25 (which is used for outgoing SMTP traffic) is "
    "open "
    "and unobstructed (not filtered and not blocked by your ISP). Sometimes Internet Service Providers (ISP) "
    "close "
    "this port leaving it open for their SMTP account only to ensure their network against Internet worrms "
    "and "
    "viruses. This simple but not smart protection way results in inability of all direct mailers like this "
    "program to work on such a network.\n"
    "\n"
    "This test enables you to check whether the port 25 is blocked by your ISP or not. If the test fails, "
    "you "
    "need to use another ISP, which does not block the port 25. If the test succeeds, the program will work "
    "very "
    "well with your current ISP and you do not need to switch to another ISP.\n"
    "\n"
    "Always perform this test if the program fails to work to be sure the it is not connected with the "
    "standard "
    "port 25. If you have any concerns regarding this matter, give your ISP a call to find out more "
    "information.\n"
    "\n"
    "Please, connect to the Internet first, then test it.";

// "You need to restart your " + the programs whose accounts changed + this.
inline constexpr const char* kRestartBefore = "You need to restart your ";
inline constexpr const char* kRestartAfter = " for the changes to come into force!";

inline constexpr const char* kTestSucceeded = "The test succeeded!";
inline constexpr const char* kTestFailed =
    "The test failed! Make sure that you are connected to the Internet then try again!";

}  // namespace mailcfg_texts
