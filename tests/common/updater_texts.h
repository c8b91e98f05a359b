// The Japanese texts the updater shows, as the user reads them: the dialog's
// title and lines, and the one message of each outcome.
#pragma once

namespace updater_texts {

constexpr wchar_t kTitle[] = L"ラピコ(映像版)アップデート";
constexpr wchar_t kIntroLine[] = L"本プログラムは、以下の製品のアップデートを行います。";
constexpr wchar_t kQuestionLine[] = L"アップデートを実行しますか？";

#define VELTO1_NOT_FOUND L"デバイスが見つかりません。"
#define VELTO1_WRITE_FAILED L"不明なエラーにより書込みに失敗しました。"
constexpr wchar_t kW001[] = L"W001:" VELTO1_NOT_FOUND;
constexpr wchar_t kW002[] = L"W002:" VELTO1_NOT_FOUND;
constexpr wchar_t kE001[] = L"E001:" VELTO1_WRITE_FAILED;
constexpr wchar_t kE002[] = L"E002:" VELTO1_WRITE_FAILED;
constexpr wchar_t kE003[] = L"E003:" VELTO1_WRITE_FAILED;
constexpr wchar_t kE004[] = L"E004:" VELTO1_WRITE_FAILED;
constexpr wchar_t kE005[] = L"E005:" VELTO1_WRITE_FAILED;
#undef VELTO1_WRITE_FAILED
#undef VELTO1_NOT_FOUND
constexpr wchar_t kCompleted[] = L"アップデートが完了しました。";
constexpr wchar_t kAlreadyUpdated[] = L"デバイスは既にアップデート済みです。";

}  // namespace updater_texts
