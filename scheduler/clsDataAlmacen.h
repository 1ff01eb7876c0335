#pragma once

#include "ProgramFolder.h"
#include "UserMessages.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brio {

// One warehouse of the suite's database.
class clsDataAlmacen {
public:
    // The warehouse code.
    std::int32_t Codigo() const noexcept { return codigo_; }
    void setCodigo(std::int32_t value) noexcept { codigo_ = value; }
    // The warehouse name.
    const std::string& Nombre() const noexcept { return nombre_; }
    void setNombre(const std::string& value) { nombre_ = value; }

    // The remote warehouses of the data source "Velmorax", in code order. Every failure is trapped:
    // the warehouses read completely before it are returned and the failure is reported through
    // `messages` as "Error <number> (<description>)" with the critical icon; nothing is thrown.
    static std::vector<clsDataAlmacen>
    ListadoAlmacenesRemotos(const MessageSink& messages,
                            const std::filesystem::path& programFolder = ProgramFolder());

    // The same query without the trap: the first failure is thrown as a BrioError and nothing is returned.
    static std::vector<clsDataAlmacen> ReadRemoteWarehouses(const std::filesystem::path& programFolder);

private:
    std::int32_t codigo_ = 0;
    std::string nombre_;
};

// The suite's data source of the warehouses.
inline constexpr const char* WarehouseDataSource = "Velmorax";

// The ConnectionText an administrator writes into SuiteSettings.ini for the warehouse database:
// `connectionString` encoded with the pass phrase the warehouse query decodes with.
std::string EncodeWarehouseConnection(std::string_view connectionString);

} // namespace brio
