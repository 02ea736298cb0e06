# Makes the certificates of the https cases whose validity starts more than ten years from now: a
# test CA (valid from now), and with one key, signed by the CA a certificate for 127.0.0.1 and one
# for another host, and a self-signed one for 127.0.0.1. OpenSSL 3.0's "req" and "x509" cannot
# date a certificate ahead; "ca" can, given a database of its own.
# Run as: cmake -DOPENSSL=<openssl> -DDIRECTORY=<output folder> -P make_certificates.cmake

string(TIMESTAMP year "%Y" UTC)
math(EXPR first_year "${year} + 11")
math(EXPR last_year "${year} + 12")
set(start "${first_year}0101000000Z")
set(end "${last_year}0101000000Z")

set(work "${DIRECTORY}/ca")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")
file(WRITE "${work}/ca.cnf" "[ca]
default_ca = test_ca
[test_ca]
database = ${work}/index.txt
new_certs_dir = ${work}
serial = ${work}/serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
")
file(WRITE "${work}/index.txt" "")
file(WRITE "${work}/serial" "01\n")

function(run)
  execute_process(COMMAND ${OPENSSL} ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed:\n${errors}")
  endif()
endfunction()

set(ec -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
run(req -x509 ${ec} -days 3650 -subj "/CN=Horalux test CA" -keyout "${work}/ca_key.pem"
    -out "${DIRECTORY}/test_ca.pem")
run(req -new ${ec} -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1
    -keyout "${DIRECTORY}/future_key.pem" -out "${work}/loopback.csr")
run(req -new -key "${DIRECTORY}/future_key.pem" -subj /CN=other.example
    -addext subjectAltName=DNS:other.example -out "${work}/other_host.csr")

set(dated -batch -config "${work}/ca.cnf" -notext -startdate ${start} -enddate ${end})
set(by_ca -cert "${DIRECTORY}/test_ca.pem" -keyfile "${work}/ca_key.pem")
run(ca ${dated} ${by_ca} -in "${work}/loopback.csr" -out "${DIRECTORY}/future_cert.pem")
run(ca ${dated} ${by_ca} -in "${work}/other_host.csr" -out "${DIRECTORY}/future_other_host_cert.pem")
run(ca ${dated} -selfsign -keyfile "${DIRECTORY}/future_key.pem" -in "${work}/loopback.csr"
    -out "${DIRECTORY}/future_self_signed_cert.pem")
