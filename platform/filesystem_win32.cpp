// The Windows file system behind the layer: wide-character Win32 calls only, every error code
// turned into Errore. Files are opened sharing read, write and delete, so that the program's own
// renames and removals behave as on POSIX while a reader has a file open.
#include <windows.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/spazio_disco.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {

constexpr DWORD kCondivisioneTutta = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpocaFileTime = 116444736000000000LL;

int64_t SecondiDa(const FILETIME& ft) {
    const int64_t v = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (v - kEpocaFileTime) / 10000000LL;
}

FILETIME FileTimeDa(int64_t secondi) {
    const uint64_t v = static_cast<uint64_t>(secondi * 10000000LL + kEpocaFileTime);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return ft;
}

bool Separatore(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// A bare drive ("A:") means the drive's root to the calls that take a folder.
std::wstring CartellaPerChiamata(const std::string& percorso) {
    std::wstring w = Largo(percorso);
    if (w.size() == 2 && w[1] == L':') w += L'\\';
    return w;
}

// One handle closed on leaving the scope.
struct Maniglia {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit Maniglia(HANDLE v) : h(v) {}
    ~Maniglia() {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
    Maniglia(const Maniglia&) = delete;
    Maniglia& operator=(const Maniglia&) = delete;
    bool valida() const { return h != INVALID_HANDLE_VALUE; }
};

// Metadata through a handle, links followed; also for folders (backup semantics).
HANDLE ApriMetadati(const std::wstring& percorso, DWORD accesso = FILE_READ_ATTRIBUTES) {
    return ::CreateFileW(percorso.c_str(), accesso, kCondivisioneTutta, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Opens a file for the layer. To write, the name itself is opened, never what a link of that
// name leads to: a symbolic link or a junction fails (ERROR_CANT_RESOLVE_FILENAME), any other
// reparse point (a file of a cloud folder) is opened again through its filter.
HANDLE ApriSenzaSeguire(const std::string& percorso, DWORD accesso, DWORD creazione,
                        bool scrittura) {
    const std::wstring w = Largo(percorso);
    const DWORD flag = FILE_ATTRIBUTE_NORMAL | (scrittura ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    // The attributes are read back through the handle: a right every user has on a file.
    HANDLE h = ::CreateFileW(w.c_str(), accesso | (scrittura ? FILE_READ_ATTRIBUTES : 0),
                             kCondivisioneTutta, nullptr, creazione, flag, nullptr);
    if (h == INVALID_HANDLE_VALUE) FallisciWin32(percorso, Oggetto::File, "CreateFileW");
    if (!scrittura) return h;
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info)) {
        const DWORD e = ::GetLastError();
        ::CloseHandle(h);
        ::SetLastError(e);
        FallisciWin32(percorso, Oggetto::File, "GetFileInformationByHandleEx");
    }
    if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return h;
    ::CloseHandle(h);
    if (IsReparseTagNameSurrogate(info.ReparseTag)) {
        ::SetLastError(ERROR_CANT_RESOLVE_FILENAME);
        FallisciWin32(percorso, Oggetto::File, "CreateFileW");
    }
    h = ::CreateFileW(w.c_str(), accesso, kCondivisioneTutta, nullptr, creazione,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) FallisciWin32(percorso, Oggetto::File, "CreateFileW");
    return h;
}

struct FileAperto {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::string percorso;
    uint64_t posizione = 0;
    bool accoda = false;
    bool lettura = false;  // opened for reading only
};

class FsWin32 final : public FileSystem {
  public:
    int Apri(const std::string& percorso, ModoApertura modo) override {
        DWORD accesso = GENERIC_READ;
        DWORD creazione = OPEN_EXISTING;
        switch (modo) {
            case ModoApertura::Lettura:
                break;
            case ModoApertura::Scrittura:
                // OPEN_ALWAYS and a truncation: CREATE_ALWAYS refuses a hidden file.
                accesso = GENERIC_WRITE;
                creazione = OPEN_ALWAYS;
                break;
            case ModoApertura::ScritturaEsclusiva:
                accesso = GENERIC_WRITE;
                creazione = CREATE_NEW;
                break;
            case ModoApertura::Accoda:
                accesso = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
                creazione = OPEN_ALWAYS;
                break;
            case ModoApertura::LetturaScrittura:
                accesso = GENERIC_READ | GENERIC_WRITE;
                break;
        }
        const HANDLE h =
            ApriSenzaSeguire(percorso, accesso, creazione, modo != ModoApertura::Lettura);
        if (modo == ModoApertura::Scrittura && !::SetEndOfFile(h)) {
            const DWORD e = ::GetLastError();
            ::CloseHandle(h);
            ::SetLastError(e);
            FallisciWin32(percorso, Oggetto::File, "SetEndOfFile");
        }
        std::lock_guard<std::mutex> l(mutex_);
        FileAperto f{h, percorso, 0, modo == ModoApertura::Accoda, modo == ModoApertura::Lettura};
        for (size_t i = 0; i < aperti_.size(); ++i) {
            if (aperti_[i].h == INVALID_HANDLE_VALUE) {
                aperti_[i] = std::move(f);
                return static_cast<int>(i);
            }
        }
        aperti_.push_back(std::move(f));
        return static_cast<int>(aperti_.size() - 1);
    }

    size_t Leggi(int h, void* buf, size_t n) override {
        const size_t letti = LeggiDa(h, Voce(h).posizione, buf, n);
        Voce(h).posizione += letti;
        return letti;
    }

    size_t LeggiDa(int h, uint64_t offset, void* buf, size_t n) override {
        const FileAperto f = Voce(h);
        OVERLAPPED ov{};
        ov.Offset = static_cast<DWORD>(offset);
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD letti = 0;
        const DWORD chiesti = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        if (!::ReadFile(f.h, buf, chiesti, &letti, &ov)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
            FallisciWin32(f.percorso, Oggetto::File, "ReadFile");
        }
        return letti;
    }

    size_t Scrivi(int h, const void* buf, size_t n) override {
        const FileAperto f = Voce(h);
        const size_t scritti = ScriviA(f, f.accoda ? ~uint64_t{0} : f.posizione, buf, n);
        if (!f.accoda) Voce(h).posizione += scritti;
        return scritti;
    }

    size_t ScriviDa(int h, uint64_t offset, const void* buf, size_t n) override {
        return ScriviA(Voce(h), offset, buf, n);
    }

    void Posiziona(int h, uint64_t offset) override { Voce(h).posizione = offset; }

    void Sincronizza(int h) override {
        const FileAperto f = Voce(h);
        if (!f.lettura) {
            if (!::FlushFileBuffers(f.h)) FallisciWin32(f.percorso, Oggetto::File, "FlushFileBuffers");
            return;
        }
        // Windows flushes only through a handle that may write: a second one, for the flush.
        Maniglia m(::CreateFileW(Largo(f.percorso).c_str(), GENERIC_WRITE, kCondivisioneTutta,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m.valida() || !::FlushFileBuffers(m.h))
            FallisciWin32(f.percorso, Oggetto::File, "FlushFileBuffers");
    }

    uint64_t Dimensione(int h) override {
        const FileAperto f = Voce(h);
        LARGE_INTEGER d{};
        if (!::GetFileSizeEx(f.h, &d)) FallisciWin32(f.percorso, Oggetto::File, "GetFileSizeEx");
        return static_cast<uint64_t>(d.QuadPart);
    }

    void Chiudi(int h) override {
        FileAperto f;
        {
            std::lock_guard<std::mutex> l(mutex_);
            f = aperti_.at(static_cast<size_t>(h));
            aperti_[static_cast<size_t>(h)] = FileAperto{};
        }
        if (!::CloseHandle(f.h)) FallisciWin32(f.percorso, Oggetto::File, "CloseHandle");
    }

    InfoFile Info(const std::string& percorso) override {
        InfoFile info;
        if (percorso.empty()) return info;
        const std::wstring w = CartellaPerChiamata(percorso);
        WIN32_FILE_ATTRIBUTE_DATA a{};
        if (!::GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &a)) return info;
        DWORD attributi = a.dwFileAttributes;
        uint64_t dimensione = (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
        FILETIME modifica = a.ftLastWriteTime;
        const bool collegamento = (attributi & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        info.collegamento = collegamento;
        const bool cartella = (attributi & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (collegamento || cartella) {
            // A link tells about its target, as stat() does; a folder's identity needs a handle.
            Maniglia m(ApriMetadati(w));
            BY_HANDLE_FILE_INFORMATION bh{};
            if (!m.valida() || !::GetFileInformationByHandle(m.h, &bh)) {
                if (collegamento) return info;  // a dangling link names nothing
            } else {
                attributi = bh.dwFileAttributes;
                dimensione = (static_cast<uint64_t>(bh.nFileSizeHigh) << 32) | bh.nFileSizeLow;
                modifica = bh.ftLastWriteTime;
                info.identita = ((static_cast<uint64_t>(bh.nFileIndexHigh) << 32) | bh.nFileIndexLow) ^
                                (static_cast<uint64_t>(bh.dwVolumeSerialNumber) << 40);
            }
        }
        info.esiste = true;
        info.cartella = (attributi & FILE_ATTRIBUTE_DIRECTORY) != 0;
        info.file = !info.cartella && (attributi & FILE_ATTRIBUTE_DEVICE) == 0;
        info.nascosto = (attributi & FILE_ATTRIBUTE_HIDDEN) != 0;
        info.dimensione = info.file ? dimensione : 0;
        info.modifica = SecondiDa(modifica);
        // The read-only attribute is all Windows has of POSIX permissions.
        info.permessi = info.cartella ? 0755 : ((attributi & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644);
        return info;
    }

    std::vector<VoceCartella> Elenca(const std::string& cartella) override {
        std::wstring modello = Largo(cartella);
        if (!modello.empty() && !Separatore(modello.back()) && modello.back() != L':') modello += L'\\';
        modello += L'*';
        WIN32_FIND_DATAW d{};
        const HANDLE h = ::FindFirstFileExW(modello.c_str(), FindExInfoBasic, &d,
                                            FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        std::vector<VoceCartella> voci;
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_NOT_FOUND) return voci;  // an empty drive root
            FallisciWin32(cartella, Oggetto::Cartella, "FindFirstFileExW");
        }
        struct Chiusura {
            HANDLE h;
            ~Chiusura() { ::FindClose(h); }
        } chiusura{h};
        do {
            const std::wstring nome = d.cFileName;
            if (nome == L"." || nome == L"..") continue;
            VoceCartella v;
            v.nome = Stretto(nome);
            v.nascosto = (d.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
            v.collegamento = (d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                             (d.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                              d.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
            v.cartella = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            v.file = !v.cartella && (d.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
            voci.push_back(std::move(v));
        } while (::FindNextFileW(h, &d));
        if (::GetLastError() != ERROR_NO_MORE_FILES)
            FallisciWin32(cartella, Oggetto::Cartella, "FindNextFileW");
        return voci;
    }

    void CreaCartella(const std::string& percorso) override {
        if (!::CreateDirectoryW(Largo(percorso).c_str(), nullptr))
            FallisciWin32(percorso, Oggetto::Cartella, "CreateDirectoryW");
    }

    void RimuoviCartella(const std::string& percorso) override {
        if (!::RemoveDirectoryW(Largo(percorso).c_str()))
            FallisciWin32(percorso, Oggetto::Cartella, "RemoveDirectoryW");
    }

    void Rinomina(const std::string& da, const std::string& a) override {
        // Replaces an existing file in one step, durably before returning; across volumes it
        // fails (ERROR_NOT_SAME_DEVICE) and the caller copies.
        if (!::MoveFileExW(Largo(da).c_str(), Largo(a).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            FallisciWin32(da, Oggetto::File, "MoveFileExW");
    }

    // MoveFileExW with MOVEFILE_WRITE_THROUGH writes the new entry whole before returning.
    void SincronizzaVoce(const std::string& /*percorso*/) override {}

    void Rimuovi(const std::string& percorso) override {
        const std::wstring w = Largo(percorso);
        if (::DeleteFileW(w.c_str())) return;
        const DWORD errore = ::GetLastError();
        // A junction or a folder link is a folder entry: it goes as one, its target stays.
        const DWORD a = ::GetFileAttributesW(w.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            (a & FILE_ATTRIBUTE_DIRECTORY) != 0 && ::RemoveDirectoryW(w.c_str())) {
            return;
        }
        ::SetLastError(errore);
        FallisciWin32(percorso, Oggetto::File, "DeleteFileW");
    }

    void SincronizzaCartella(const std::string& /*cartella*/) override {
        // NTFS journals its folder entries, and every rename is written through: Windows
        // offers no flush of a folder to an ordinary user.
    }

    bool SincronizzaVolume(const std::string& /*percorso*/) override {
        return false;  // a volume's flush needs an administrator: each file is flushed instead
    }

    int64_t SpazioLibero(const std::string& percorso) override {
        if (percorso.empty()) return -1;
        ULARGE_INTEGER disponibili{};
        // A drive without a disk fails here (ERROR_NOT_READY): no space can be told.
        const UINT precedente = ::SetErrorMode(SEM_FAILCRITICALERRORS);
        const BOOL ok = ::GetDiskFreeSpaceExW(CartellaPerChiamata(percorso).c_str(), &disponibili,
                                              nullptr, nullptr);
        ::SetErrorMode(precedente);
        if (!ok) return -1;
        return ByteDisponibili(disponibili.QuadPart, 1);
    }

    void ImpostaDataModifica(const std::string& percorso, int64_t secondi) override {
        Maniglia m(ApriMetadati(Largo(percorso), FILE_WRITE_ATTRIBUTES));
        if (!m.valida()) FallisciWin32(percorso, Oggetto::File, "CreateFileW");
        const FILETIME ft = FileTimeDa(secondi);
        if (!::SetFileTime(m.h, nullptr, nullptr, &ft))
            FallisciWin32(percorso, Oggetto::File, "SetFileTime");
    }

    void ImpostaPermessi(const std::string& percorso, uint32_t permessi) override {
        const std::wstring w = Largo(percorso);
        const DWORD a = ::GetFileAttributesW(w.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) FallisciWin32(percorso, Oggetto::File, "GetFileAttributesW");
        const DWORD nuovi = (permessi & 0200) ? (a & ~DWORD{FILE_ATTRIBUTE_READONLY})
                                              : (a | FILE_ATTRIBUTE_READONLY);
        if (nuovi != a && !::SetFileAttributesW(w.c_str(), nuovi))
            FallisciWin32(percorso, Oggetto::File, "SetFileAttributesW");
    }

    void CollegaFisso(const std::string& esistente, const std::string& nuovo) override {
        if (!::CreateHardLinkW(Largo(nuovo).c_str(), Largo(esistente).c_str(), nullptr))
            FallisciWin32(esistente, Oggetto::File, "CreateHardLinkW");
    }

    bool ScambiaNomi(const std::string& /*a*/, const std::string& /*b*/) override {
        return false;  // no atomic exchange of two names: the callers rename twice
    }

    void ScartaCache(int h) override {
        // An open without intermediate buffering makes the cache manager flush and purge
        // the file's cached pages; advice only, as on POSIX.
        const FileAperto f = Voce(h);
        Maniglia m(::CreateFileW(Largo(f.percorso).c_str(), GENERIC_READ, kCondivisioneTutta,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
    }

  private:
    FileAperto& Voce(int h) {
        std::lock_guard<std::mutex> l(mutex_);
        return aperti_.at(static_cast<size_t>(h));
    }

    static size_t ScriviA(const FileAperto& f, uint64_t offset, const void* buf, size_t n) {
        OVERLAPPED ov{};
        ov.Offset = static_cast<DWORD>(offset);  // all ones: at the end of the file
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD scritti = 0;
        const DWORD chiesti = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        if (!::WriteFile(f.h, buf, chiesti, &scritti, &ov))
            FallisciWin32(f.percorso, Oggetto::File, "WriteFile");
        return scritti;
    }

    std::mutex mutex_;
    std::deque<FileAperto> aperti_;  // grows without moving: references stay valid
};

}  // namespace

FileSystem& FsDiSistema() {
    static FsWin32 fs;
    return fs;
}

namespace {
// The separator before the last name, or npos; "C:\" keeps its separator as the root.
size_t UltimoSeparatore(const std::string& percorso) {
    return percorso.find_last_of("\\/");
}
}  // namespace

std::string CartellaDi(const std::string& percorso) {
    const auto p = UltimoSeparatore(percorso);
    if (p == std::string::npos) return {};
    if (p == 0) return percorso.substr(0, 1);
    if (p == 2 && percorso[1] == ':') return percorso.substr(0, 3);
    return percorso.substr(0, p);
}

std::string NomeDi(const std::string& percorso) {
    const auto p = UltimoSeparatore(percorso);
    return p == std::string::npos ? percorso : percorso.substr(p + 1);
}

}  // namespace bv
