// On ELF systems `_init` is also the name of the C runtime's start-up routine. These tests make
// sure the loader never runs the library's `_init` and that lookup by name finds the entry.
#include "tests/support/evmprocess.h"
#include <sundial.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <string>

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The loader's start-up address (DT_INIT) of a loaded object, or 0.
ElfW(Addr) startupAddress(void* handle) {
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        return 0;
    }
    for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
        if (entry->d_tag == DT_INIT) {
            return map->l_addr + entry->d_un.d_ptr;
        }
    }
    return 0;
}

class SundialElf : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
    }
    void* m_handle = nullptr;
};

TEST_F(SundialElf, LoadingRunsNothingOfTheLibrarysOwn) {
    // Were `_init` run at load time, it would get (argc, argv): port 1, which is this board.
    testsupport::EvmProcess evm;
    ::setenv("SUNDIAL_PORTS", evm.linkPath().c_str(), 1);

    m_handle = ::dlopen(SUNDIAL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << ::dlerror();
    void* entry = ::dlsym(m_handle, "_init");
    ASSERT_NE(entry, nullptr);

    const ElfW(Addr) startup = startupAddress(m_handle);
    ASSERT_NE(startup, 0u) << "the library names its own start-up routine";
    EXPECT_NE(startup, reinterpret_cast<ElfW(Addr)>(entry));

    auto closeEntry = reinterpret_cast<int32_t (*)()>(::dlsym(m_handle, "_close"));
    ASSERT_NE(closeEntry, nullptr);
    EXPECT_EQ(closeEntry(), 0) << "no port may be open after loading";
    EXPECT_TRUE(evm.transcript().empty());
}

TEST_F(SundialElf, LookupByNameReachesTheLibrarysEntry) {
    m_handle = ::dlopen(SUNDIAL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << ::dlerror();
    for (const char* name : {"_init", "_close", "_readData", "_writeData", "_getVer"}) {
        void* entry = ::dlsym(m_handle, name);
        ASSERT_NE(entry, nullptr) << name;
        Dl_info info{};
        ASSERT_NE(::dladdr(entry, &info), 0) << name;
        const std::string library = SUNDIAL_LIBRARY_PATH;
        EXPECT_TRUE(endsWith(info.dli_fname, library.substr(library.rfind('/'))))
            << name << " in " << info.dli_fname;
        ASSERT_NE(info.dli_sname, nullptr) << name;
        EXPECT_STREQ(info.dli_sname, name);
    }
    // The runtime's `_init` takes no arguments and returns nothing; the entry answers -1 here.
    auto init =
        reinterpret_cast<int32_t (*)(int32_t, const SundialChannel*)>(::dlsym(m_handle, "_init"));
    const SundialChannel table[SUNDIAL_CHANNELS] = {};
    EXPECT_EQ(init(-1, table), -1);
}

TEST_F(SundialElf, ReloadingStartsClean) {
    for (int round = 0; round < 3; ++round) {
        m_handle = ::dlopen(SUNDIAL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << ::dlerror();
        auto getVer = reinterpret_cast<int32_t (*)()>(::dlsym(m_handle, "_getVer"));
        ASSERT_NE(getVer, nullptr);
        EXPECT_EQ(getVer(), 0x1500);
        ASSERT_EQ(::dlclose(m_handle), 0);
        m_handle = nullptr;
    }
}

} // namespace
