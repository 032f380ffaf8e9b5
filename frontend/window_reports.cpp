// Problem reports and events to the maker's services. They are sent from here,
// synchronously on the calling thread, once the reporting joins the front end;
// until then the points that send them call these and nothing leaves the machine.
#include "window.h"

void Window::webClient_ErrorReport(const std::wstring& message) { (void)message; }

void Window::webClient_KelvraReport(const std::wstring& eventName) { (void)eventName; }
