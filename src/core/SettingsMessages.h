// The texts the user sees when the port or DNS settings are stored, spelled
// exactly as the program shows them (caption "Information").
#pragma once

#include <string>

inline const std::string kRestartMessage =
    "You need to restart this SMTP server for the changes to come into force!";

// Shown after a port other than 25 was stored.
inline std::string NonStandardPortMessage(const std::string& port) {
  return "You selected a non-standard port " + port + " for this SMTP server! It means that you" + "\r\n" +
         "need to use the port " + port + " in settings of your e-mail program along with localhost!";
}

// Shown (caption "Error") instead of storing a port that is no port number.
inline std::string InvalidPortMessage(const std::string& port) {
  return "\"" + port + "\" is not a port number: enter a whole number from 1 to 65535. " +
         "The port settings were not changed.";
}

inline const std::string kInformationCaption = "Information";
