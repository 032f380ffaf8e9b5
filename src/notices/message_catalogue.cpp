// Texts are compiled in, never loaded: a notice must show even when the
// executable's resources are damaged.
#include "notices/message_catalogue.h"

#include <span>

#include "build_settings.h"
#include "notices/message_language.h"

namespace kelvra::notices {

namespace {

namespace L = MessageLanguage;

struct CatalogueEntry {
  int languageCode;
  NoticeText text;
};

#define SUPPORT KELVRA_SUPPORT_SITE
#define SUPPORT_DE KELVRA_SUPPORT_SITE L"/hc/de"

constexpr CatalogueEntry kUnsupportedWindows[] = {
    {L::english, {L"This Version of Windows is Not Supported", L"ZAV Kelvra requires Windows 7 SP1 or newer."}},
    {L::german,
     {L"Diese Version von Windows wird nicht unterstützt.", L"ZAV Kelvra erfordert Windows 7 SP1 oder neuer."}},
    {L::french,
     {L"Cette version de Windows n'est pas supportée",
      L"ZAV Kelvra nécessite Windows 7 SP1 ou une version plus récente."}},
    {L::polish,
     {L"Ta wersja systemu Windows nie jest obsługiwana", L"ZAV Kelvra wymaga systemu Windows 7 SP1 lub nowszego."}},
    {L::russian,
     {L"Эта версия Windows не поддерживается", L"Для ZAV Kelvra требуется Windows 7 SP1 или более поздняя версия."}},
    {L::portugueseBrazil,
     {L"Esta versão do Windows não é suportada", L"O ZAV Kelvra requer o Windows 7 SP1 ou mais recente."}},
    {L::chineseSimplified, {L"不支持当前版本的Windows", L"ZAV Kelvra 需要 Windows 7 SP1 或更高版本。"}},
};

constexpr CatalogueEntry kNetMissing[] = {
    {L::english,
     {L".NET Framework Not Found",
      L"ZAV Kelvra Web Installer requires .NET Framework to proceed. Contact " SUPPORT L" for assistance."}},
    {L::german,
     {L".NET Framework nicht gefunden",
      L"Der ZAV Kelvra Web Installer benötigt .NET Framework, um fortzufahren. Wenden Sie sich "
      L"an " SUPPORT_DE L", um Hilfe zu erhalten."}},
    {L::spanish,
     {L".NET Framework no encontrado",
      L"El instalador web de ZAV Kelvra necesita .NET Framework para continuar. Ponte en contacto "
      L"con " SUPPORT L" para obtener ayuda."}},
    {L::french,
     {L"Le frameworkd .NET est introuvable",
      L"Le programme d'installation web de ZAV Kelvra nécessite .NET Framework pour continuer. "
      L"Contactez " SUPPORT L" pour obtenir de l'aide."}},
    {L::italian,
     {L"Impossibile trovare .NET Framework",
      L"Il programma di installazione web di ZAV Kelvra richiede .NET Framework per procedere. "
      L"Contatta " SUPPORT L" per ricevere assistenza."}},
    {L::japanese,
     {L".NET Frameworkが見つかりませんでした。",
      L"ZAV Kelvra Web Installer を続行するには .NET Framework "
      L"が必要です。サポートについては " SUPPORT L" までお問い合わせください。"}},
    {L::korean,
     {L"닷넷 프레임워크를 찾지 못했습니다.",
      L"ZAV Kelvra 웹 설치 프로그램을 계속하려면 .NET Framework가 필요합니다. 도움이 "
      L"필요하면 " SUPPORT L"에 문의하십시오."}},
    {L::polish,
     {L"Nie znaleziono .NET Framework",
      L"Instalator internetowy ZAV Kelvra wymaga .NET Framework, aby kontynuować. Skontaktuj się "
      L"z " SUPPORT L", aby uzyskać pomoc."}},
    {L::russian,
     {L"Отсутствует .NET Framework",
      L"Для работы веб-установщика ZAV Kelvra требуется .NET Framework. Обратитесь за помощью на " SUPPORT L"."}},
    {L::portugueseBrazil,
     {L".NET Framework não encontrado",
      L"O instalador web do ZAV Kelvra precisa do .NET Framework para continuar. Entre em contato "
      L"com " SUPPORT L" para obter ajuda."}},
    {L::chineseSimplified,
     {L"没有找到.NET Framework文件",
      L"ZAV Kelvra 网络安装程序需要 .NET Framework 才能继续。如需帮助，请联系 " SUPPORT L"。"}},
    {L::chineseTraditional,
     {L"找不到.NET Framework檔案",
      L"ZAV Kelvra 網路安裝程式需要 .NET Framework 才能繼續。如需協助，請聯絡 " SUPPORT L"。"}},
};

constexpr CatalogueEntry kAlreadyRunning[] = {
    {L::english,
     {L"Installer Already Running",
      L"Another ZAV Kelvra installer is already running. Please close the previous installation or wait for it to "
      L"finish."}},
    {L::german,
     {L"Installationsprogramm läuft bereits",
      L"Ein anderes ZAV Kelvra-Installationsprogramm wird bereits ausgeführt. Bitte schließen Sie die vorherige "
      L"Installation oder warten Sie, bis sie abgeschlossen ist."}},
    {L::spanish,
     {L"El instalador ya se está ejecutando",
      L"Ya se está ejecutando otro instalador de ZAV Kelvra. Cierra la instalación anterior o espera a que termine."}},
    {L::french,
     {L"Le programme d'installation est déjà en cours d'utilisation",
      L"Un autre programme d'installation de ZAV Kelvra est déjà en cours d'exécution. Fermez l'installation "
      L"précédente ou attendez qu'elle se termine."}},
    {L::italian,
     {L"Installer già in esecuzione",
      L"Un altro programma di installazione di ZAV Kelvra è già in esecuzione. Chiudi l'installazione precedente o "
      L"attendi che termini."}},
    {L::japanese,
     {L"インストール中です",
      L"別の ZAV Kelvra "
      L"インストーラーがすでに実行されています。前のインストールを閉じるか、完了するまでお待ちください。"}},
    {L::korean,
     {L"설치 프로그램을 시작하고 있습니다",
      L"다른 ZAV Kelvra 설치 프로그램이 이미 실행 중입니다. 이전 설치를 닫거나 완료될 때까지 기다려 주십시오."}},
    {L::polish,
     {L"Instalator już działa",
      L"Inny instalator ZAV Kelvra jest już uruchomiony. Zamknij poprzednią instalację lub poczekaj na jej "
      L"zakończenie."}},
    {L::russian,
     {L"Программа установки уже запущена",
      L"Другая программа установки ZAV Kelvra уже запущена. Закройте предыдущую установку или дождитесь её "
      L"завершения."}},
    {L::portugueseBrazil,
     {L"Instalador já está em execução",
      L"Outro instalador do ZAV Kelvra já está em execução. Feche a instalação anterior ou aguarde até que ela "
      L"termine."}},
    {L::chineseSimplified, {L"安装程式运行中", L"另一个 ZAV Kelvra 安装程序正在运行。请关闭之前的安装或等待其完成。"}},
    {L::chineseTraditional, {L"安裝程式運行中", L"另一個 ZAV Kelvra 安裝程式正在執行。請關閉先前的安裝或等待其完成。"}},
};

// These bodies end with the address itself, without a full stop.
constexpr CatalogueEntry kInstallationError[] = {
    {L::english,
     {L"Installation Error",
      L"Something went wrong while installing ZAV Kelvra. Please try again or contact " SUPPORT}},
    {L::german,
     {L"Fehler bei der Installation",
      L"Bei der Installation von ZAV Kelvra ist ein Fehler aufgetreten. Bitte versuchen Sie es erneut oder wenden Sie "
      L"sich an " SUPPORT_DE}},
    {L::spanish,
     {L"Error de instalación",
      L"Se ha producido un error al instalar ZAV Kelvra. Vuelve a intentarlo o ponte en contacto con " SUPPORT}},
    {L::spanishMexico,
     {L"Error de instalación",
      L"Ocurrió un error al instalar ZAV Kelvra. Inténtalo de nuevo o comunícate con " SUPPORT}},
    {L::french,
     {L"Erreur d'installation",
      L"Une erreur s'est produite lors de l'installation de ZAV Kelvra. Veuillez réessayer ou contacter " SUPPORT}},
    {L::italian,
     {L"Errore di installazione",
      L"Si è verificato un errore durante l'installazione di ZAV Kelvra. Riprova o contatta " SUPPORT}},
    {L::japanese,
     {L"インストール・エラー",
      L"ZAV Kelvra "
      L"のインストール中に問題が発生しました。もう一度お試しいただくか、次の連絡先までお問い合わせください: " SUPPORT}},
    {L::korean,
     {L"설치 오류",
      L"ZAV Kelvra를 설치하는 중에 문제가 발생했습니다. 다시 시도하거나 다음으로 문의하십시오: " SUPPORT}},
    {L::polish,
     {L"Błąd instalacji",
      L"Podczas instalacji ZAV Kelvra wystąpił błąd. Spróbuj ponownie lub skontaktuj się z " SUPPORT}},
    {L::russian,
     {L"Ошибка установки", L"При установке ZAV Kelvra произошла ошибка. Повторите попытку или обратитесь на " SUPPORT}},
    {L::portugueseBrazil,
     {L"Erro de instalação",
      L"Ocorreu um erro ao instalar o ZAV Kelvra. Tente novamente ou entre em contato com " SUPPORT}},
    {L::chineseSimplified, {L"安装错误", L"安装 ZAV Kelvra 时出错。请重试或联系 " SUPPORT}},
    {L::chineseTraditional, {L"安裝錯誤", L"安裝 ZAV Kelvra 時發生錯誤。請重試或聯絡 " SUPPORT}},
};

constexpr CatalogueEntry kStartFailure[] = {
    {L::english,
     {L"Installation Failed",
      L"ZAV Kelvra Web Installer failed to initialize. Contact " SUPPORT L" for assistance. Error code: {}."}},
    {L::german,
     {L"Installation fehlgeschlagen",
      L"Der ZAV Kelvra Web Installer konnte nicht gestartet werden. Wenden Sie sich "
      L"an " SUPPORT_DE L", um Hilfe zu erhalten. Fehlercode: {}."}},
    {L::spanish,
     {L"Instalación fallida",
      L"No se ha podido iniciar el instalador web de ZAV Kelvra. Ponte en contacto "
      L"con " SUPPORT L" para obtener ayuda. Código de error: {}."}},
    {L::spanishMexico,
     {L"Instalación fallida",
      L"No se pudo iniciar el instalador web de ZAV Kelvra. Comunícate "
      L"con " SUPPORT L" para recibir ayuda. Código de error: {}."}},
    {L::french,
     {L"Échec de l'installation",
      L"Le programme d'installation web de ZAV Kelvra n'a pas pu démarrer. "
      L"Contactez " SUPPORT L" pour obtenir de l'aide. Code d'erreur : {}."}},
    {L::italian,
     {L"Installazione fallita",
      L"Impossibile avviare il programma di installazione web di ZAV Kelvra. "
      L"Contatta " SUPPORT L" per ricevere assistenza. Codice di errore: {}."}},
    {L::japanese,
     {L"インストール失敗",
      L"ZAV Kelvra Web Installer "
      L"を初期化できませんでした。サポートについては " SUPPORT L" までお問い合わせください。エラーコード: {}。"}},
    {L::korean,
     {L"설치 실패",
      L"ZAV Kelvra 웹 설치 프로그램을 초기화하지 못했습니다. 도움이 "
      L"필요하면 " SUPPORT L"에 문의하십시오. 오류 코드: {}."}},
    {L::polish,
     {L"Nieudana instalacja",
      L"Nie udało się uruchomić instalatora internetowego ZAV Kelvra. Skontaktuj się "
      L"z " SUPPORT L", aby uzyskać pomoc. Kod błędu: {}."}},
    {L::russian,
     {L"Ошибка установки",
      L"Не удалось запустить веб-установщик ZAV Kelvra. Обратитесь за помощью на " SUPPORT L". Код ошибки: {}."}},
    {L::portugueseBrazil,
     {L"A Instalação falhou",
      L"Não foi possível iniciar o instalador web do ZAV Kelvra. Entre em contato "
      L"com " SUPPORT L" para obter ajuda. Código de erro: {}."}},
    {L::chineseSimplified,
     {L"安装失败", L"ZAV Kelvra 网络安装程序初始化失败。如需帮助，请联系 " SUPPORT L"。错误代码：{}。"}},
    {L::chineseTraditional,
     {L"安裝失敗", L"ZAV Kelvra 網路安裝程式初始化失敗。如需協助，請聯絡 " SUPPORT L"。錯誤代碼：{}。"}},
};

#undef SUPPORT
#undef SUPPORT_DE

std::span<const CatalogueEntry> entriesOf(Notice notice) {
  switch (notice) {
    case Notice::unsupportedWindows: return kUnsupportedWindows;
    case Notice::netMissing: return kNetMissing;
    case Notice::alreadyRunning: return kAlreadyRunning;
    case Notice::installationError: return kInstallationError;
    case Notice::startFailure: break;
  }
  return kStartFailure;
}

const CatalogueEntry* findEntry(std::span<const CatalogueEntry> entries, int languageCode) {
  for (const auto& entry : entries) {
    if (entry.languageCode == languageCode) return &entry;
  }
  return nullptr;
}

}  // namespace

NoticeText noticeText(Notice notice, int languageCode) {
  const auto entries = entriesOf(notice);
  const CatalogueEntry* entry = findEntry(entries, languageCode);
  if (entry == nullptr && languageCode == L::spanishMexico) entry = findEntry(entries, L::spanish);
  if (entry == nullptr) entry = findEntry(entries, L::english);
  return entry->text;
}

}  // namespace kelvra::notices
