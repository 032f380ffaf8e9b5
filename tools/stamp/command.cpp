#include "stamp/command.h"

#include <optional>

#include "stamp/file_io.h"
#include "stamp/stamping.h"

namespace kelvra::stamp {

namespace {

constexpr char kUsage[] =
    "usage: kelvra-stamp --campaign FILE.json IN.exe OUT.exe\n"
    "       kelvra-stamp --token BASE64 IN.exe OUT.exe\n"
    "       kelvra-stamp --show EXE\n"
    "       kelvra-stamp --strip IN.exe OUT.exe\n";

int usage(std::ostream& err) {
  err << kUsage;
  return kStampRefused;
}

int refused(std::ostream& err, const std::string& message) {
  err << "kelvra-stamp: refused: " << message << "\n";
  return kStampRefused;
}

int failed(std::ostream& err, const std::string& message) {
  err << "kelvra-stamp: " << message << "\n";
  return kStampFailed;
}

// Writes the transformed input to output; the input file itself is only read.
int transformFile(const std::string& input, const std::string& output, std::ostream& out, std::ostream& err,
                  const std::string& token, bool strip) {
  if (sameFile(input, output)) return refused(err, "OUT is the same file as IN; IN is never modified");
  const FileBytes executable = readWholeFile(input);
  if (!executable.problem.empty()) return failed(err, executable.problem);
  const StampedExecutable result = strip ? stripExecutable(executable.bytes) : stampExecutable(executable.bytes, token);
  if (result.refusal.refused) return refused(err, input + ": " + result.refusal.message);
  const std::string error = writeFileAtomically(output, result.bytes, input);
  if (!error.empty()) return failed(err, error);

  const char* const where = result.insideSignature ? " inside the signature's certificate table" : "";
  if (strip) {
    if (result.replacedTrailer) {
      out << "removed the token trailer" << (result.insideSignature ? ", signature kept" : "") << ": ";
    } else {
      out << "no token trailer found, copied unchanged: ";
    }
    out << output << "\n";
  } else {
    out << (result.replacedTrailer ? "replaced the token trailer" : "stamped") << where << ": " << output << " (token "
        << token.size() << " bytes)\n";
  }
  return kStampSucceeded;
}

int stampWithToken(const std::string& token, const std::string& input, const std::string& output, std::ostream& out,
                   std::ostream& err) {
  const std::string problem = payloadProblem(token);
  if (!problem.empty()) {
    err << "kelvra-stamp: warning: the bootstrapper will not write payload.campaign for this token: " << problem
        << "\n";
  }
  return transformFile(input, output, out, err, token, false);
}

int stampWithCampaign(const std::string& campaignPath, const std::string& input, const std::string& output,
                      std::ostream& out, std::ostream& err) {
  const FileBytes campaign = readWholeFile(campaignPath);
  if (!campaign.problem.empty()) return failed(err, campaign.problem);
  const CampaignToken token = tokenFromCampaign(campaign.bytes);
  if (token.refusal.refused) return refused(err, campaignPath + ": " + token.refusal.message);
  return transformFile(input, output, out, err, token.token, false);
}

int show(const std::string& path, std::ostream& out, std::ostream& err) {
  const FileBytes executable = readWholeFile(path);
  if (!executable.problem.empty()) return failed(err, executable.problem);
  const TokenReport report = describeToken(executable.bytes);
  out << report.text << "\n";
  return report.hasToken ? kStampSucceeded : kStampFailed;
}

}  // namespace

int runStampCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() == 1 && arguments[0] == "--help") {
    out << kUsage;
    return kStampSucceeded;
  }
  if (arguments.size() == 2 && arguments[0] == "--show") return show(arguments[1], out, err);
  if (arguments.size() == 3 && arguments[0] == "--strip") {
    return transformFile(arguments[1], arguments[2], out, err, {}, true);
  }
  if (arguments.size() == 4 && arguments[0] == "--token") {
    return stampWithToken(arguments[1], arguments[2], arguments[3], out, err);
  }
  if (arguments.size() == 4 && arguments[0] == "--campaign") {
    return stampWithCampaign(arguments[1], arguments[2], arguments[3], out, err);
  }
  return usage(err);
}

}  // namespace kelvra::stamp
